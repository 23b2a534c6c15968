// The station: the transport each port name gets (kept while it serves the
// name, made again when the HART-IP settings changed), the recorder it hooks
// under the link, and the teardown of a stack whose worker still runs.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "hart/FrameCodec.h"
#include "procedures/Station.h"
#include "sim/SimHartIpServer.h"
#include "sim/SimResponder.h"
#include "tests/support/LinkRig.h"
#include "tests/support/StationOver.h"

using namespace qt40;

namespace {

class OpenedKinds final : public LinkObserver {
public:
    void TransportOpened(TransportKind kind) override { opened.push_back(kind); }
    void RequestSent(std::span<const std::uint8_t>, int) override { ++sent; }
    void RequestNotSent(std::span<const std::uint8_t>, int, SendFailure) override {}
    void ReceiveEnded(std::span<const std::uint8_t>, int, ReceiveEnd end) override {
        ends.push_back(end);
    }
    std::vector<TransportKind> opened;
    std::vector<ReceiveEnd> ends;
    int sent = 0;
};

std::vector<std::uint8_t> IdentifyFrame() {
    HartLink l;
    std::vector<std::uint8_t> frame(kMaxFrameSize);
    frame.resize(BuildRequestFrame(l, frame));
    return frame;
}

// A serial port that is missing, and says so.
class MissingPort final : public SerialPort {
public:
    bool Open(const std::string& path, int) override {
        path_ = path;
        return false;
    }
    void Close() override {}
    bool IsOpen() const override { return false; }
    CarrierState Carrier() override { return CarrierState::Gone; }
    void PurgeInput() override {}
    void PurgeOutput() override {}
    bool Write(const std::uint8_t*, std::size_t) override { return false; }
    ReadOutcome ReadByte(std::uint8_t&) override { return ReadOutcome::Gone; }
    bool ClearError() override { return false; }
    std::string LastError() const override { return "No such file or directory"; }
    OpenError LastOpenError() const override { return {OpenFailure::Missing, path_, ""}; }
    std::string path_;  // as the transport opened it
};

struct LocalGateway {
    LocalGateway() : server(sim::DeviceResponder(device), Local()) {
        EXPECT_TRUE(server.Start()) << server.LastError();
    }
    static sim::SimHartIpOptions Local() {
        sim::SimHartIpOptions o;
        o.port = 0;
        return o;
    }
    std::string Url(HartIpProtocol p) const { return server.Endpoint(p).Url(); }
    sim::SimDevice device;
    sim::SimHartIpServer server;
};

// One open after another on the same station: what the second one runs over.
struct ChoiceCase {
    const char* what;
    const char* first;  // "COM3", "tcp" or "udp"
    int newTimeoutMs;   // the HART-IP answer time-out set between the opens; 0: unchanged
    const char* second;
    TransportKind kind;  // of the second open
    int answerTimeoutMs;
};

TEST(Station, EachPortNameGetsItsTransportAndChangedSettingsMakeANewOne) {
    LocalGateway gateway;
    const ChoiceCase cases[] = {
        {"serial, then serial", "COM3", 0, "COM4", TransportKind::Serial, 500},
        {"serial, then a gateway", "COM3", 0, "tcp", TransportKind::HartIpTcp, 3000},
        {"a gateway, then serial", "tcp", 0, "COM3", TransportKind::Serial, 500},
        {"a gateway, then the same", "tcp", 0, "tcp", TransportKind::HartIpTcp, 3000},
        {"TCP, then UDP", "tcp", 0, "udp", TransportKind::HartIpUdp, 3000},
        {"a gateway, its time-out changed", "udp", 700, "udp", TransportKind::HartIpUdp, 700},
        {"serial, the gateway's time-out changed", "COM3", 700, "COM4", TransportKind::Serial, 500},
    };
    const auto name = [&](const std::string& n) {
        if (n == "tcp") return gateway.Url(HartIpProtocol::Tcp);
        if (n == "udp") return gateway.Url(HartIpProtocol::Udp);
        return n;
    };
    for (const ChoiceCase& c : cases) {
        SCOPED_TRACE(c.what);
        VirtualClock clock;
        sim::SimDevice device;
        sim::SimLoopbackPort port{device, clock};
        NullTraceSink trace;
        OpenedKinds recorder;
        NotificationQueue queue;
        test::DeclinedPrompts prompts;
        test::RecordingView view;
        Station station{{clock, port, trace, queue, prompts, view, LinkTiming{}, &recorder}};
        DataLink& link = station.Link();
        ASSERT_EQ(link.OpenPort(name(c.first)), kCommSuccess) << link.LastError();
        link.ClosePort();
        const int portOpens = port.OpenCount();
        if (c.newTimeoutMs != 0) {
            HartIpClientOptions o = station.HartIpOptions();
            o.answerTimeoutMs = c.newTimeoutMs;
            station.SetHartIpOptions(o);
        }
        ASSERT_EQ(link.OpenPort(name(c.second)), kCommSuccess) << link.LastError();
        EXPECT_EQ(link.Kind(), c.kind);
        EXPECT_EQ(link.TransportTimes().answerTimeoutMs, c.answerTimeoutMs);
        // The recorder under the link hears of both opens.
        ASSERT_EQ(recorder.opened.size(), 2u);
        EXPECT_EQ(recorder.opened[1], c.kind);
        // A serial name always lands on the station's one serial port.
        EXPECT_EQ(port.OpenCount() - portOpens, c.kind == TransportKind::Serial ? 1 : 0);
        ASSERT_EQ(link.Transact(IdentifyFrame()), kCommSuccess) << link.LastError();
        EXPECT_EQ(recorder.ends.back(), ReceiveEnd::Answer);
    }
}

TEST(Station, ASerialOpenFailureIsToldByKindAndAGatewayHasNone) {
    VirtualClock clock;
    MissingPort port;
    NullTraceSink trace;
    test::StationOver stack{port, clock, trace};
    DataLink& link = stack.station.Link();
    EXPECT_EQ(link.OpenPort("COM9"), kCommPortNotOpened);
    EXPECT_EQ(link.LastOpenError().kind, OpenFailure::Missing);
    EXPECT_EQ(link.LastOpenError().device, port.path_);
    EXPECT_NE(port.path_.find("COM9"), std::string::npos);
    LocalGateway gateway;
    ASSERT_EQ(link.OpenPort(gateway.Url(HartIpProtocol::Udp)), kCommSuccess) << link.LastError();
    EXPECT_EQ(link.LastOpenError().kind, OpenFailure::None);
    EXPECT_TRUE(link.LastOpenError().device.empty());
}

// Left as a window leaves it when closed mid-poll: the worker ends before the
// link and the port go, and the port is closed.
TEST(Station, AStackTornDownWhilePollingStopsTheWorkerAndClosesThePort) {
    VirtualClock clock;
    sim::SimDevice device;
    sim::SimLoopbackPort port{device, clock};
    NullTraceSink trace;
    OpenedKinds recorder;
    NotificationQueue queue;
    test::DeclinedPrompts prompts;
    test::RecordingView view;
    {
        LinkTiming timing;
        timing.idlePollMs = 5;
        Station station{{clock, port, trace, queue, prompts, view, timing, &recorder}};
        station.Controller().SetPortName("COM3");
        station.Controller().SetReconnectWaitMs(0);
        ASSERT_EQ(station.Controller().Connect(), kCommSuccess);
        SteadyClock real;
        const auto end = real.NowMs() + 5000;
        while (view.polls.size() < 2 && real.NowMs() < end) {
            if (auto next = queue.WaitNext(20))
                station.Controller().HandleNotification(next->notification);
        }
        ASSERT_GE(view.polls.size(), 2u);
        ASSERT_TRUE(station.Worker().Running());
    }
    EXPECT_FALSE(port.IsOpen());
    const int sent = recorder.sent;
    SteadyClock().SleepMs(50);
    EXPECT_EQ(recorder.sent, sent);
}

}  // namespace
