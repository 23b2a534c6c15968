// The link over a QT40 behind an I/O system: the station picks the command 77
// transport for hartip://HOST:PORT/CARD/CHANNEL, the link sees each request
// as one exchange however long the I/O system delays it, and the traffic
// observer gets the HART-IP messages as they went.

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "hart/CommandSet.h"
#include "hart/FrameCodec.h"
#include "hart/IoSystemCommands.h"
#include "link/DataLink.h"
#include "sim/SimLoopbackPort.h"
#include "tests/support/HostileIoSystem.h"
#include "tests/support/StationOver.h"
#include "transport/SubDeviceTransport.h"

namespace qt40 {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::HostileIoSystem;

class Lines final : public TraceSink {
public:
    void Trace(std::string_view line) override {
        std::lock_guard lock(mutex);
        lines.emplace_back(line);
    }
    int Count(const std::string& part) {
        std::lock_guard lock(mutex);
        return static_cast<int>(
            std::count_if(lines.begin(), lines.end(),
                          [&](const std::string& l) { return l.find(part) != std::string::npos; }));
    }
    std::mutex mutex;
    std::vector<std::string> lines;
};

class Calls final : public LinkObserver {
public:
    void RequestMessage(std::span<const std::uint8_t> m) override { Note("request message", m); }
    void RequestSent(std::span<const std::uint8_t> f, int) override { Note("sent", f); }
    void RequestNotSent(std::span<const std::uint8_t> f, int, SendFailure) override {
        Note("not sent", f);
    }
    void AnswerMessage(std::span<const std::uint8_t> m) override { Note("answer message", m); }
    void ReceiveEnded(std::span<const std::uint8_t> f, int, ReceiveEnd end) override {
        Note("received", f);
        ends.push_back(end);
    }
    // The token-passing ones only, not the session's own.
    void SessionMessage(std::span<const std::uint8_t> m, bool, TransportKind) override {
        if (m.size() < 3 || m[2] != 3) return;
        ++session;
        lastSession.assign(m.begin(), m.end());
    }
    std::vector<std::pair<std::string, Bytes>> calls;
    std::vector<ReceiveEnd> ends;
    int session = 0;
    Bytes lastSession;

private:
    void Note(const char* what, std::span<const std::uint8_t> b) {
        calls.emplace_back(what, Bytes(b.begin(), b.end()));
    }
};

struct Rig {
    VirtualClock clock;
    sim::SimDevice serialDevice;
    sim::SimLoopbackPort serialPort{serialDevice, clock};
    Lines trace;
    Calls observer;
    test::StationOver stack{serialPort, clock, trace, LinkTiming{}};
    DataLink& link = stack.station.Link();
    DeviceState session;

    // One request of `command` as the worker builds it, through the link.
    CommResult Step(std::uint8_t command) {
        const CommandStep& step = *FindCommand(command);
        session.link.preambleCount = kRequestPreambles;
        session.link.pollingAddress = 0;
        PrepareRequest(session, step);
        Bytes frame(kMaxFrameSize + 16);
        frame.resize(BuildRequestFrame(session.link, frame));
        const CommResult result = link.Transact(frame);
        if (result != kCommSuccess) return result;
        const bool taken =
            DecodeResponseFrame(session.link, link.Received()) && DecodeAnswer(session, step);
        return taken ? kCommSuccess : kCommExchangeFailed;
    }
};

Bytes Body(const Bytes& message) {
    return Bytes(message.begin() + std::min<std::size_t>(8, message.size()), message.end());
}

TEST(SubDeviceLinkTest, AnUploadLikeSequenceSeesOneExchangeARequestWhateverTheDelays) {
    HostileIoSystem io(testing::IoSystemScript::Codes({33, 34}));
    ASSERT_TRUE(io.started);
    Rig rig;
    rig.link.SetObserver(&rig.observer);
    const std::string url = io.Url(HartIpProtocol::Tcp);
    ASSERT_EQ(rig.link.OpenPort(url + ": baud=9600 parity=N data=8 stop=1"), kCommSuccess)
        << rig.link.LastError();
    EXPECT_EQ(rig.link.Kind(), TransportKind::HartIpTcp);
    EXPECT_GE(rig.link.TransportTimes().answerTimeoutMs, kSubDeviceAnswerTimeoutMs);
    EXPECT_GE(rig.link.TransportTimes().searchAnswerTimeoutMs, kSubDeviceSearchAnswerTimeoutMs);

    const std::uint8_t commands[] = {0, 13, 3, 48, 15};
    for (const std::uint8_t command : commands) {
        SCOPED_TRACE(static_cast<int>(command));
        rig.observer.calls.clear();
        ASSERT_EQ(rig.Step(command), kCommSuccess) << rig.link.LastError();
        EXPECT_EQ(rig.link.LastFailure(), LinkFailure::None);
        // One try, whatever the I/O system said before its answer.
        const auto& calls = rig.observer.calls;
        ASSERT_EQ(calls.size(), 4u);
        EXPECT_EQ(calls[0].first, "request message");
        EXPECT_EQ(calls[1].first, "sent");
        EXPECT_EQ(calls[3].first, "received");
        // On the wire: command 77 to the I/O system, carrying the frame sent.
        const ParsedFrame out = HartFrame::Parse(Body(calls[0].second));
        ASSERT_TRUE(out.Sound());
        EXPECT_EQ(out.frame.Command(), kCmdSendToSubDevice);
        const auto carried = ParseSubDeviceRequest(out.frame.Data());
        ASSERT_TRUE(carried.has_value());
        EXPECT_EQ(carried->place, (SubDevicePlace{1, 2}));
        EXPECT_EQ(carried->frame.Bytes(), calls[1].second);
        // The answer message kept with the exchange is the one with the
        // request's sequence number: the delayed response initiated.
        const ParsedFrame first = HartFrame::Parse(Body(calls[2].second));
        ASSERT_TRUE(first.Sound());
        EXPECT_EQ(first.frame.ResponseCode(), 33);
        EXPECT_EQ(Bytes(calls[2].second.begin() + 4, calls[2].second.begin() + 6),
                  Bytes(calls[0].second.begin() + 4, calls[0].second.begin() + 6));
        // The device's answer, unwrapped for the link, is the one the last
        // message the observer was told of carries.
        const ParsedFrame last = HartFrame::Parse(Body(rig.observer.lastSession));
        ASSERT_TRUE(last.Sound());
        EXPECT_EQ(last.frame.ResponseCode(), 0);
        const auto inner = ParseSubDeviceAnswer(last.frame.Payload());
        ASSERT_TRUE(inner.has_value());
        EXPECT_EQ(inner->frame.Bytes(), calls[3].second);
        EXPECT_EQ(Bytes(rig.link.Received().begin(), rig.link.Received().end()), calls[3].second);
        EXPECT_EQ(inner->frame.Command(), command);
    }
    // The identity read, and for each request the 33 and 34 answers and their repeats.
    EXPECT_EQ(rig.observer.session, 2 + static_cast<int>(std::size(commands)) * 4);
    EXPECT_EQ(rig.session.record.tag, io.Locked([&] { return io.device.State().tag; }));
    // The trace names the card and channel; the link itself never met a delayed answer.
    EXPECT_GE(rig.trace.Count("card 1 channel 2 through command 77: "), 5);
    EXPECT_EQ(rig.trace.Count("card 1 channel 2: response code 33, delayed response initiated: the "
                              "same request again"),
              5);
    for (const std::string& line : rig.trace.lines)
        EXPECT_NE(line.rfind("(response code", 0), 0u) << line;
    io.Locked([&] { EXPECT_EQ(io.conflicts, 0); });

    // The same station talks to the I/O system itself by its bare URL, and back.
    rig.link.ClosePort();
    const std::string bare = io.server.Endpoint(HartIpProtocol::Tcp).Url();
    ASSERT_EQ(rig.link.OpenPort(bare), kCommSuccess) << rig.link.LastError();
    ASSERT_EQ(rig.Step(0), kCommSuccess) << rig.link.LastError();
    EXPECT_EQ(rig.session.link.longAddress[1], 0x2D);  // the I/O system's own identity
    ASSERT_EQ(rig.link.OpenPort(url), kCommSuccess) << rig.link.LastError();
    ASSERT_EQ(rig.Step(0), kCommSuccess) << rig.link.LastError();
    EXPECT_EQ(rig.session.link.longAddress[1],
              io.Locked([&] { return io.device.State().deviceType; }));
}

TEST(SubDeviceLinkTest, AnEmptyChannelIsNoAnswerFromTheDeviceOnThatChannel) {
    HostileIoSystem io(testing::IoSystemScript::Codes({33}));
    ASSERT_TRUE(io.started);
    Rig rig;
    rig.link.SetObserver(&rig.observer);
    ASSERT_EQ(rig.link.OpenPort(io.Url(HartIpProtocol::Udp, 0, 5)), kCommSuccess)
        << rig.link.LastError();
    EXPECT_EQ(rig.Step(0), kCommExchangeFailed);
    EXPECT_EQ(rig.link.LastFailure(), LinkFailure::NoAnswer);
    EXPECT_FALSE(rig.link.PortGone());
    EXPECT_EQ(rig.observer.ends, std::vector<ReceiveEnd>(LinkTiming{}.tries, ReceiveEnd::NoAnswer));
    const auto message = rig.link.FailureMessage();
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(message->key, "Err_SubDevice_No_Answer");
    ASSERT_EQ(message->args.size(), 3u);
    EXPECT_EQ(std::get<long long>(message->args[0]), 0);
    EXPECT_EQ(std::get<long long>(message->args[1]), 5);
    EXPECT_NE(rig.link.LastError().find("no answer from the device on card 0 channel 5"),
              std::string::npos);
}

}  // namespace
}  // namespace qt40
