// Busy and "delayed response" answers on the serial link, on virtual time:
// the same request goes again until the real answer comes, within a bound.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/DataLink.h"
#include "tests/support/StationOver.h"
#include "hart/FrameCodec.h"
#include "sim/SimLoopbackPort.h"

namespace qt40 {
namespace {

using Bytes = std::vector<std::uint8_t>;

class RecordingTrace final : public TraceSink {
public:
    void Trace(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
};

// Each request as it went on the line, and each answer's response code.
class Exchanges final : public LinkObserver {
public:
    void RequestSent(std::span<const std::uint8_t> frame, int attempt) override {
        sent.emplace_back(frame.begin(), frame.end());
        attempts.push_back(attempt);
    }
    void RequestNotSent(std::span<const std::uint8_t>, int, SendFailure) override {}
    void ReceiveEnded(std::span<const std::uint8_t> frame, int, ReceiveEnd end) override {
        const std::size_t at = !frame.empty() && (frame[0] & 0x80) ? 8 : 4;
        codes.push_back(end == ReceiveEnd::Answer && frame.size() > at ? frame[at] : -1);
    }
    std::vector<Bytes> sent;
    std::vector<int> attempts;
    std::vector<int> codes;
};

struct BusyLink : ::testing::Test {
    VirtualClock clock;
    sim::SimDevice device;
    sim::SimLoopbackPort port{device, clock};
    RecordingTrace trace;
    Exchanges exchanges;
    test::StationOver stack{port, clock, trace, LinkTiming{}};
    DataLink& link = stack.station.Link();

    void SetUp() override {
        ASSERT_EQ(link.OpenPort("COM3: baud=9600 parity=N data=8 stop=1"), kCommSuccess);
        link.SetObserver(&exchanges);
        device.RecordRequests(true);
    }

    // A long frame to the device, as the worker builds it.
    Bytes Request(std::uint8_t command, const Bytes& data = {}) {
        HartLink l;
        l.command = command;
        const sim::SimState& s = device.State();
        l.longAddress = {static_cast<std::uint8_t>(s.manufacturerId | 0x80), s.deviceType,
                         static_cast<std::uint8_t>(s.deviceId >> 16),
                         static_cast<std::uint8_t>(s.deviceId >> 8),
                         static_cast<std::uint8_t>(s.deviceId)};
        l.byteCount = static_cast<std::uint8_t>(data.size());
        std::copy(data.begin(), data.end(), l.dataBuffer.begin());
        Bytes frame(kMaxFrameSize + 8);
        frame.resize(BuildRequestFrame(l, frame));
        return frame;
    }
};

TEST_F(BusyLink, BusyAndDelayedAnswersAreAskedAgainUntilTheRealAnswer) {
    struct Row {
        const char* name;
        std::vector<const char*> faults;
        std::vector<int> codes;  // of every answer, in order; -1 silence
        CommResult result;
        LinkFailure failure;
        const char* key;  // the link's own words, "" for none
    };
    const Row rows[] = {
        {"busy twice", {"busy:2"}, {32, 32, 0}, kCommSuccess, LinkFailure::None, ""},
        {"delayed, running twice",
         {"delayed:13=2"},
         {33, 34, 34, 0},
         kCommSuccess,
         LinkFailure::None,
         ""},
        {"busy, then delayed",
         {"busy:1", "delayed:13=1"},
         {32, 33, 34, 0},
         kCommSuccess,
         LinkFailure::None,
         ""},
        {"silent tries between",
         {"delayed:13=1", "drop@2"},
         {33, -1, 34, -1, 0},
         kCommSuccess,
         LinkFailure::None,
         ""},
        {"delayed response dead: the tries of a silent device",
         {"code:13=35"},
         {35, 35, 35, 35},
         kCommExchangeFailed,
         LinkFailure::NoAnswer,
         "Err_Delayed_Response_Dead"},
        {"a refusal is the answer", {"code:13=16"}, {16}, kCommSuccess, LinkFailure::None, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        device.Faults() = {};
        for (const char* fault : row.faults)
            ASSERT_FALSE(sim::ApplyFaultSwitch(fault, device.Faults()));
        exchanges = {};
        const Bytes request = Request(13);
        EXPECT_EQ(link.Transact(request), row.result);
        EXPECT_EQ(link.LastFailure(), row.failure);
        EXPECT_EQ(link.LinkMessage() ? link.LinkMessage()->key : "", row.key);
        EXPECT_EQ(exchanges.codes, row.codes);
        // Every repeat is the same request, byte for byte, and an exchange of its own.
        ASSERT_EQ(exchanges.sent.size(), row.codes.size());
        for (const Bytes& sent : exchanges.sent) EXPECT_EQ(sent, request);
        for (std::size_t i = 0; i < exchanges.attempts.size(); ++i)
            EXPECT_EQ(exchanges.attempts[i], int(i) + 1);
    }
}

TEST_F(BusyLink, AWriteAnsweredDelayedIsCarriedOutOnceAndEndsWithItsRealAnswer) {
    // Given a device that answers a damping write "delayed" and then twice "running"
    ASSERT_FALSE(sim::ApplyFaultSwitch("delayed:34=2", device.Faults()));
    const Bytes data = {0x40, 0x60, 0x00, 0x00};  // 3.5 s
    ASSERT_NE(device.State().damping, 3.5f);
    ASSERT_EQ(link.Transact(Request(34, data)), kCommSuccess);
    // Then the last answer is the write's own, success with the values written
    HartLink answer;
    ASSERT_TRUE(DecodeResponseFrame(answer, link.Received()));
    EXPECT_EQ(answer.responseCode, 0);
    EXPECT_EQ(device.State().damping, 3.5f);
    EXPECT_EQ(exchanges.codes, (std::vector<int>{33, 34, 34, 0}));
    // and the device heard the same write four times but carried it out once.
    ASSERT_EQ(device.Heard().size(), 4u);
    for (const sim::SimRequest& heard : device.Heard()) EXPECT_EQ(heard.data, data);
}

TEST_F(BusyLink, ADeviceThatStaysBusyEndsInWordsAfterTheBound) {
    for (const char* fault : {"code:41=32", "code:41=34", "code:41=36", "busy:*"}) {
        SCOPED_TRACE(fault);
        device.Faults() = {};
        ASSERT_FALSE(sim::ApplyFaultSwitch(fault, device.Faults()));
        exchanges = {};
        const std::int64_t start = clock.NowMs();
        // Command 41 (self test) takes any response code as its answer: not these.
        EXPECT_EQ(link.Transact(Request(41)), kCommExchangeFailed);
        const std::int64_t took = clock.NowMs() - start;
        EXPECT_EQ(link.LastFailure(), LinkFailure::StillBusy);
        ASSERT_TRUE(link.FailureMessage());
        EXPECT_EQ(link.FailureMessage()->key, "Err_Device_Busy");
        EXPECT_NE(link.LastError().find("stayed busy for 5 s"), std::string::npos)
            << link.LastError();
        // The bound is the tries' answer time-outs, at least five seconds, and no more.
        const LinkTiming timing;
        EXPECT_GE(took, timing.BusyLimitMs(timing.answerTimeoutMs));
        EXPECT_LT(took, timing.BusyLimitMs(timing.answerTimeoutMs) + 1000);
        EXPECT_GT(exchanges.sent.size(), 10u);
    }
    // The bound follows the answer time-out and the tries.
    LinkTiming timing;
    EXPECT_EQ(timing.BusyLimitMs(500), 5000);
    EXPECT_EQ(timing.BusyLimitMs(20000), 80000);
    timing.tries = 2;
    EXPECT_EQ(timing.BusyLimitMs(20000), 40000);
}

TEST(BusyAnswers, NoCommandTakesABusyOrDelayedAnswerAsItsResult) {
    for (std::uint8_t command : {std::uint8_t{13}, std::uint8_t{41}}) {
        for (std::uint8_t code : {32, 33, 34, 35, 36}) {
            SCOPED_TRACE(std::to_string(command) + " answered " + std::to_string(code));
            Bytes frame = {0x86, 0xA6, 0x4E, 0x00, 0x00, 0x01, command, 0x02, code, 0x00};
            std::uint8_t sum = 0;
            for (std::uint8_t b : frame) sum ^= b;
            frame.push_back(sum);
            HartLink link;
            EXPECT_FALSE(DecodeResponseFrame(link, frame));
        }
    }
}

TEST(BusyAnswers, TheWatchdogOutlastsTheLinksWorstCase) {
    LinkTiming timing;
    HartIpClientOptions hartIp;
    hartIp.answerTimeoutMs = 20000;
    TransportTiming network;
    network.answerTimeoutMs = 20000;
    // Four silent tries of 20 s and the busy bound of 80 s at the least.
    EXPECT_GT(DataLink::WorstTransactMs(timing, network, true, hartIp), 4 * 20000 + 80000);
    // A serial loop keeps the minute it always had.
    TransportTiming serial;
    EXPECT_LT(DataLink::WorstTransactMs(timing, serial, false, hartIp), 60000);
}

}  // namespace
}  // namespace qt40
