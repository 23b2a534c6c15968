// The serial link on virtual time: every time-out is checked to the
// millisecond and costs no real time.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hart/FrameCodec.h"
#include "link/DataLink.h"
#include "tests/support/StationOver.h"
#include "sim/SimLoopbackPort.h"

using namespace qt40;
using Bytes = std::vector<std::uint8_t>;

namespace {

class RecordingTrace final : public TraceSink {
public:
    void Trace(std::string_view line) override { lines.emplace_back(line); }
    std::vector<std::string> lines;
};

struct LinkFixture : ::testing::Test {
    VirtualClock clock;
    sim::SimDevice device;
    sim::SimLoopbackPort port{device, clock};
    RecordingTrace trace;
    test::StationOver stack{port, clock, trace, LinkTiming{}};
    DataLink& link = stack.station.Link();

    void SetUp() override {
        ASSERT_EQ(link.OpenPort("COM3: baud=9600 parity=N data=8 stop=1"), 200);
    }

    static Bytes Identify(int address) {
        HartLink l;
        l.pollingAddress = address;
        Bytes frame(kMaxFrameSize);
        frame.resize(BuildRequestFrame(l, frame));
        return frame;
    }

    // Runs `f` and says how much virtual time it took.
    template <class F>
    std::int64_t Elapsed(F&& f) {
        const std::int64_t start = clock.NowMs();
        f();
        return clock.NowMs() - start;
    }
};

}  // namespace

TEST_F(LinkFixture, PortDefinitions) {
    EXPECT_EQ(link.PortName(), "COM3");
    EXPECT_EQ(link.OpenPort(""), 202);
    EXPECT_EQ(link.OpenPort(":::"), 202);
    EXPECT_EQ(link.OpenPort("missing0: baud=9600 parity=N data=8 stop=1"), 201);
    EXPECT_EQ(link.PortName(), "missing0");
    EXPECT_FALSE(link.LastError().empty());
    EXPECT_EQ(Elapsed([&] { EXPECT_EQ(link.OpenPort("/dev/pts/7: baud=9600"), 200); }), 200);
    EXPECT_EQ(link.PortName(), "/dev/pts/7");
}

TEST_F(LinkFixture, OneExchangeIsTracedInHex) {
    ASSERT_EQ(link.Transact(Identify(0)), 200);
    ASSERT_GE(trace.lines.size(), 2u);
    EXPECT_EQ(trace.lines[0], "TX: FF,FF,FF,FF,FF,02,00,00,00,02,\n");
    EXPECT_EQ(trace.lines[1].rfind("RX: FF,FF,FF,FF,FF,06,00,00,0E,", 0), 0u) << trace.lines[1];
    EXPECT_EQ(link.Received()[0], 0x06);
    EXPECT_EQ(link.Received().size(), 1u + 1 + 1 + 1 + 14 + 1);
}

TEST_F(LinkFixture, SendWaitsForAQuietLineAndPaysForTheBytes) {
    const Bytes frame = Identify(0);  // 10 bytes: 91 ms on the loop
    EXPECT_EQ(Elapsed([&] { EXPECT_EQ(link.SendFrame(frame), 200); }), 91);
    // The next send waits until 80 ms after the last traffic.
    EXPECT_EQ(Elapsed([&] { EXPECT_EQ(link.SendFrame(frame), 200); }), 80 + 91);
    Bytes sixteen(16, 0xFF);
    clock.Advance(100);
    EXPECT_EQ(Elapsed([&] { link.SendFrame(sixteen); }), 146);
}

TEST_F(LinkFixture, CarrierMustDropBeforeSending) {
    port.Line().hasCarrierLine = true;
    port.Line().carrierOnUntil = clock.NowMs() + 1000;
    EXPECT_EQ(Elapsed([&] { EXPECT_EQ(link.SendFrame(Identify(0)), 200); }), 1000 + 91);

    port.Line().carrierOnUntil = clock.NowMs() + 1'000'000;  // stuck on
    trace.lines.clear();
    EXPECT_EQ(Elapsed([&] { EXPECT_EQ(link.SendFrame(Identify(0)), 209); }), 80 + 3000);
    EXPECT_EQ(trace.lines, std::vector<std::string>{"TX: Timeout\n"});
    EXPECT_EQ(port.Written().size(), 1u);  // nothing more went out
}

TEST_F(LinkFixture, NoiseBeforeThePreamblesIsDroppedAndNotLogged) {
    device.Faults().noise.remaining = 1;
    ASSERT_EQ(link.Transact(Identify(0)), 200);
    EXPECT_EQ(trace.lines.back().rfind("RX: FF,FF,FF,FF,FF,06,", 0), 0u) << trace.lines.back();
    EXPECT_EQ(link.Received()[0], 0x06);
}

TEST_F(LinkFixture, AMasterFrameEchoedBackEndsTheReceiveAtOnce) {
    port.Line().echoRequests = true;
    link.SendFrame(Identify(0));
    EXPECT_EQ(Elapsed([&] { EXPECT_EQ(link.ReceiveFrame(), 209); }), 0);
    EXPECT_EQ(trace.lines.back(), "RX: FF,FF,FF,FF,FF,02,Error\n");
}

TEST_F(LinkFixture, SilenceTimesOutAndIsTriedFourTimes) {
    const Bytes nobody = Identify(9);
    link.SendFrame(nobody);
    trace.lines.clear();
    EXPECT_EQ(Elapsed([&] { EXPECT_EQ(link.ReceiveFrame(), 209); }), 500);
    EXPECT_EQ(trace.lines[0], "Timeout: 500\n");
    EXPECT_EQ(trace.lines[1], "RX: Error\n");

    const auto writesBefore = port.Written().size();
    EXPECT_EQ(link.Transact(nobody), 209);
    EXPECT_EQ(port.Written().size() - writesBefore, 4u);

    // Searching: one try, 200 ms.
    link.SetSearching(true);
    const auto searchWrites = port.Written().size();
    EXPECT_EQ(Elapsed([&] { EXPECT_EQ(link.Transact(nobody), 209); }), 80 + 91 + 200);
    EXPECT_EQ(port.Written().size() - searchWrites, 1u);
}

TEST_F(LinkFixture, GapsInsideTheAnswer) {
    struct Row {
        std::size_t after;  // the pause comes before this byte of the answer
        int ms;
        int expected;
    };
    const Row rows[] = {
        {1, 450, 200},  // before the second preamble: up to 500 ms
        {1, 550, 209},
        {4, 150, 200},  // between later bytes: under 200 ms
        {9, 250, 209},
    };
    for (const Row& row : rows) {
        device.Faults().gap = {-1};  // every try
        device.Faults().gapAfterByte = row.after;
        device.Faults().gapMs = row.ms;
        EXPECT_EQ(link.Transact(Identify(0)), row.expected) << row.after << " " << row.ms;
    }
    device.Faults().gap = {0};
}

TEST_F(LinkFixture, AnswerWithByteCountZeroGoesStraightToTheChecksum) {
    port.Line().scriptedReply = Bytes{0xFF, 0xFF, 0x06, 0x00, 0x00, 0x00, 0x06};
    EXPECT_EQ(link.Transact(Identify(0)), 200);
    EXPECT_EQ(link.Received().size(), 5u);
    port.Line().scriptedReply = Bytes{0xFF, 0xFF, 0x06, 0x00, 0x00, 0x00, 0x07};
    EXPECT_EQ(link.Transact(Identify(0)), 209);  // checksum error, four tries
    EXPECT_EQ(trace.lines.back(), "RX: FF,FF,06,00,00,00,07,Error\n");
}

TEST_F(LinkFixture, ACommunicationErrorReportIsMarkedInTheTrace) {
    device.Faults().responseCodeFor[0] = 0x88;
    EXPECT_EQ(link.Transact(Identify(0)), 200);  // received fine; decoding rejects it
    EXPECT_NE(trace.lines.back().find("Communication Error"), std::string::npos);
}

TEST_F(LinkFixture, AVanishedPortFailsAtOnceAndCanBeOpenedAgain) {
    port.Line().gone = true;
    const auto writes = port.Written().size();
    EXPECT_EQ(Elapsed([&] { EXPECT_EQ(link.Transact(Identify(0)), 209); }), 0);
    EXPECT_EQ(port.Written().size(), writes);
    EXPECT_TRUE(link.PortGone());
    port.Line().gone = false;
    ASSERT_EQ(link.OpenPort("COM3: baud=9600"), 200);
    EXPECT_FALSE(link.PortGone());
    EXPECT_EQ(link.Transact(Identify(0)), 200);
}

// Given a device that answered a request the master had given up on, when that
// late answer arrives while the master waits for another command's answer,
// then it is not taken for that answer (its decoder would store the other
// command's bytes as its values); the tries go on.
TEST_F(LinkFixture, AnAnswerToAnotherCommandIsNotTheAnswer) {
    HartLink request;
    request.command = 48;
    Bytes frame(kMaxFrameSize);
    frame.resize(BuildRequestFrame(request, frame));
    struct Row {
        std::uint8_t answered;
        int result;
    };
    for (const Row row : {Row{2, 209}, Row{3, 209}, Row{48, 200}}) {
        SCOPED_TRACE(row.answered);
        Bytes reply{0xFF, 0xFF, 0xFF, 0x86, 0, 0, 0, 0, 0, row.answered, 10, 0, 0};
        for (int i = 0; i < 8; ++i) reply.push_back(static_cast<std::uint8_t>(0x40 + i));
        std::uint8_t sum = 0;
        for (std::size_t k = 3; k < reply.size(); ++k) sum ^= reply[k];
        reply.push_back(sum);
        port.Line().scriptedReply = reply;
        const auto sent = port.Written().size();
        EXPECT_EQ(link.Transact(frame), row.result);
        EXPECT_EQ(port.Written().size() - sent, row.result == 200 ? 1u : 4u);
        EXPECT_EQ(trace.lines.back().ends_with("Error\n"), row.result != 200) << trace.lines.back();
    }
}

// Given an answer with byte count 0 whose check byte has its top bit set, when
// it is traced, then the check byte is not read as a communication error.
TEST_F(LinkFixture, AnAnswerWithoutDataIsNoCommunicationError) {
    port.Line().scriptedReply = Bytes{0xFF, 0xFF, 0x06, 0x80, 0x00, 0x00, 0x86};
    EXPECT_EQ(link.Transact(Identify(0)), 200);
    EXPECT_EQ(trace.lines.back(), "RX: FF,FF,06,80,00,00,86,\n");
}
