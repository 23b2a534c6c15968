// The termios port against drivers that do what real ones do: USB adapters
// that report the frame sent while it is still in the chip, or never, and
// a tty that fails every call once its adapter is pulled out.

#include <gtest/gtest.h>

#include <cstring>

#include "transport/PortDefinition.h"
#include "transport/PosixSerialPort.h"
#include "link/DataLink.h"
#include "tests/support/StationOver.h"
#include "tests/support/DriverCalls.h"
#include "tests/support/PtyFixture.h"

namespace qt40 {
namespace {

using testing::DriverCalls;
using testing::IdentifyRequest;
using testing::StartSimulator;

PosixSerialPort::Options With(const std::shared_ptr<DriverCalls>& calls, Clock* clock,
                              int drainMarginMs = 1000) {
    PosixSerialPort::Options options;
    options.calls = calls;
    options.clock = clock;
    options.drainMarginMs = drainMarginMs;
    return options;
}

// The last raise of RTS and the drop after it.
std::pair<DriverCalls::RtsChange, DriverCalls::RtsChange> LastPulse(DriverCalls& calls) {
    const auto rts = calls.Rts();
    for (std::size_t i = rts.size(); i-- > 0;) {
        if (rts[i].raised && i + 1 < rts.size()) return {rts[i], rts[i + 1]};
    }
    ADD_FAILURE() << "no RTS pulse";
    return {};
}

// Given an adapter whose drain returns at once (as PL2303 and CH340 cables
// do), when a frame is written, then RTS stays up for the frame's bytes and
// two more characters at the line's bit time, and the link's send lasts the
// longer of that and the frame's time on the loop, not both.
TEST(PosixDriverTest, RtsIsHeldForTheFramesWireTimeWhenTheDrainReturnsAtOnce) {
    auto server = StartSimulator();
    const auto request = IdentifyRequest(0);  // 10 bytes
    for (const std::string& name : LineSetting::Names()) {
        SCOPED_TRACE(name);
        const LineSetting line = *LineSetting::FromName(name);
        VirtualClock clock;
        auto calls = std::make_shared<DriverCalls>(clock);
        PosixSerialPort port(With(calls, &clock));
        port.SetLine(line);
        ASSERT_TRUE(port.Open(server->SlavePath(), 50)) << port.LastError();
        ASSERT_TRUE(port.HasModemLines());
        const std::int64_t start = clock.NowMs();
        ASSERT_TRUE(port.Write(request.data(), request.size())) << port.LastError();
        const auto [raised, dropped] = LastPulse(*calls);
        EXPECT_EQ(raised.atMs, start);
        EXPECT_EQ(dropped.atMs - raised.atMs, line.WireMs(request.size() + 2));
        EXPECT_FALSE(dropped.raised);
        port.Close();

        NullTraceSink trace;
        test::StationOver stack{port, clock, trace, LinkTiming{}};
        DataLink& link = stack.station.Link();
        ASSERT_EQ(link.OpenPort(PortDefinition::Text(server->SlavePath(), line)), kCommSuccess)
            << link.LastError();
        const std::int64_t before = clock.NowMs();
        ASSERT_EQ(link.SendFrame(request), kCommSuccess);
        const int loopMs = LinkTiming{}.TransmitMs(static_cast<int>(request.size()));
        EXPECT_EQ(clock.NowMs() - before, std::max(loopMs, line.WireMs(request.size() + 2)));
        link.ClosePort();
    }
}

TEST(PosixDriverTest, TheLineSettingReachesTheTerminal) {
    auto server = StartSimulator();
    struct Row {
        const char* line;
        speed_t speed;
        tcflag_t parity;
    };
    for (const Row& row : {Row{"9600-8N1", B9600, 0}, Row{"1200-8O1", B1200, PARENB | PARODD}}) {
        SteadyClock clock;
        auto calls = std::make_shared<DriverCalls>(clock);
        calls->modemLines = false;
        PosixSerialPort port(With(calls, &clock));
        port.SetLine(*LineSetting::FromName(row.line));
        ASSERT_TRUE(port.Open(server->SlavePath(), 50)) << port.LastError();
        const termios t = calls->Attributes();
        EXPECT_EQ(cfgetospeed(&t), row.speed) << row.line;
        EXPECT_EQ(cfgetispeed(&t), row.speed) << row.line;
        EXPECT_EQ(t.c_cflag & (PARENB | PARODD), row.parity) << row.line;
        EXPECT_EQ(t.c_cflag & (CSIZE | CSTOPB), static_cast<tcflag_t>(CS8)) << row.line;
        // Parity errors must be marked, not taken as data.
        EXPECT_EQ(t.c_iflag & (PARMRK | INPCK), static_cast<tcflag_t>(PARMRK | INPCK));
        // The simulator behind it still answers.
        const auto request = IdentifyRequest(0);
        ASSERT_TRUE(port.Write(request.data(), request.size()));
        EXPECT_GE(testing::ReadAnswer(port).bytes.size(), 8u) << row.line;
    }
}

// Given an adapter that stalled, when a frame is written, then the write
// fails after its bound with RTS down again, the next write fails at once
// without touching the driver, closing does not wait for it, and once the
// driver lets go the port works again.
TEST(PosixDriverTest, ADrainThatNeverReturnsFailsTheWriteWithinItsBound) {
    auto server = StartSimulator();
    SteadyClock clock;
    auto calls = std::make_shared<DriverCalls>(clock);
    calls->drain = DriverCalls::DrainMode::Never;
    constexpr int kMarginMs = 100;
    PosixSerialPort port(With(calls, &clock, kMarginMs));
    ASSERT_TRUE(port.Open(server->SlavePath(), 50)) << port.LastError();
    const auto request = IdentifyRequest(0);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(port.Write(request.data(), request.size()));
    const auto tookMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - started)
                            .count();
    EXPECT_GE(tookMs, kMarginMs);
    EXPECT_LT(tookMs, 5000) << "the bound did not hold";
    EXPECT_NE(port.LastError().find("did not finish sending"), std::string::npos)
        << port.LastError();
    EXPECT_FALSE(port.Vanished()) << "a stuck adapter is not an unplugged one";
    EXPECT_FALSE(LastPulse(*calls).second.raised);

    const int writes = calls->writes;
    EXPECT_FALSE(port.Write(request.data(), request.size()));
    EXPECT_EQ(calls->writes, writes) << "written into a driver that has not sent the last frame";
    EXPECT_NE(port.LastError().find("not finished sending"), std::string::npos)
        << port.LastError();

    // The link fails the exchange as a write failure, within the same bound.
    NullTraceSink trace;
    test::StationOver stack{port, clock, trace, LinkTiming::Fast()};
    DataLink& link = stack.station.Link();
    ASSERT_EQ(link.OpenPort(server->SlavePath()), kCommSuccess);
    EXPECT_EQ(link.Transact(request), kCommExchangeFailed);
    EXPECT_EQ(link.LastFailure(), LinkFailure::WriteFailed);
    link.ClosePort();
    EXPECT_FALSE(port.IsOpen());

    calls->drain = DriverCalls::DrainMode::AtOnce;
    calls->ReleaseDrain();
    bool reopened = false;
    for (int i = 0; i < 100 && !reopened; ++i) {
        ASSERT_TRUE(port.Open(server->SlavePath(), 50)) << port.LastError();
        reopened = port.Write(request.data(), request.size());
        if (!reopened) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(reopened) << port.LastError();
}

// Given a USB adapter pulled out, when the port is asked anything, then the
// driver's error (EIO, ENXIO or ENODEV on a hung-up tty) says it is gone:
// the carrier query is no "carrier on". Other failures of the query still are.
TEST(PosixDriverTest, EveryCallOnAnUnpluggedAdapterSaysItIsGone) {
    auto server = StartSimulator();
    for (const int error : {EIO, ENXIO, ENODEV}) {
        SCOPED_TRACE(std::strerror(error));
        SteadyClock clock;
        auto calls = std::make_shared<DriverCalls>(clock);
        PosixSerialPort port(With(calls, &clock));
        ASSERT_TRUE(port.Open(server->SlavePath(), 50)) << port.LastError();
        EXPECT_EQ(port.Carrier(), CarrierState::Off);
        calls->Unplug(error);
        EXPECT_EQ(port.Carrier(), CarrierState::Gone);
        EXPECT_TRUE(port.Vanished());
        EXPECT_NE(port.LastError().find(std::strerror(error)), std::string::npos)
            << port.LastError();
        const auto request = IdentifyRequest(0);
        const int writes = calls->writes;
        EXPECT_FALSE(port.Write(request.data(), request.size()));
        EXPECT_EQ(calls->writes, writes);
        port.Close();

        // A port without modem lines learns it from the purge before a send.
        calls->unplugged = 0;
        calls->modemLines = false;
        ASSERT_TRUE(port.Open(server->SlavePath(), 50)) << port.LastError();
        EXPECT_EQ(port.Carrier(), CarrierState::NoLine);
        calls->Unplug(error);
        port.PurgeInput();
        EXPECT_TRUE(port.Vanished());
        port.Close();
    }

    SteadyClock clock;
    auto calls = std::make_shared<DriverCalls>(clock);
    PosixSerialPort port(With(calls, &clock));
    ASSERT_TRUE(port.Open(server->SlavePath(), 50)) << port.LastError();
    calls->statusError = EBUSY;
    EXPECT_EQ(port.Carrier(), CarrierState::On);
    EXPECT_FALSE(port.Vanished());
}

}  // namespace
}  // namespace qt40
