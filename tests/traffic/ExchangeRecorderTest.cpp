// The recorder under the real link, the simulated transmitter on the other
// end of an in-memory line, on virtual time.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "hart/FrameCodec.h"
#include "link/DataLink.h"
#include "tests/support/StationOver.h"
#include "sim/SimLoopbackPort.h"
#include "traffic/ExchangeRecorder.h"

namespace qt40::traffic {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Request(std::uint8_t command, int address = 0) {
    HartLink l;
    l.command = command;
    l.pollingAddress = address;
    Bytes frame(kMaxFrameSize);
    frame.resize(BuildRequestFrame(l, frame));
    return frame;
}

struct RecorderFixture : ::testing::Test {
    VirtualClock clock;
    sim::SimDevice device;
    sim::SimLoopbackPort port{device, clock};
    NullTraceSink trace;
    test::StationOver stack{port, clock, trace, LinkTiming{}};
    DataLink& link = stack.station.Link();
    ExchangeRecorder recorder{8, [this] { return clock.NowMs() * 1000; }};

    void SetUp() override {
        ASSERT_EQ(link.OpenPort("COM3: baud=9600"), 200);
        link.SetObserver(&recorder);
    }
};

TEST_F(RecorderFixture, KeepsEachTryWithItsTimesBytesAndEnding) {
    // The first answer arrives with a broken checksum, the second one not at all.
    device.Faults().corruptChecksum = {1};
    device.Faults().dropAnswer = {0};
    ASSERT_EQ(link.Transact(Request(0)), 200);
    device.Faults().dropAnswer = {1};
    ASSERT_EQ(link.Transact(Request(0)), 200);

    const auto all = recorder.All();
    ASSERT_EQ(all.size(), 4u);
    const Bytes sent = Request(0);
    const Outcome outcomes[] = {Outcome::BadChecksum, Outcome::Answered, Outcome::NoAnswer,
                                Outcome::Answered};
    const int tries[] = {1, 2, 1, 2};
    for (std::size_t i = 0; i < all.size(); ++i) {
        SCOPED_TRACE(i);
        const Exchange& e = *all[i];
        EXPECT_EQ(e.number, i + 1);
        EXPECT_EQ(e.outcome, outcomes[i]);
        EXPECT_EQ(e.attempt, tries[i]);
        EXPECT_EQ(e.request, Bytes(sent.begin() + 5, sent.end()));
        EXPECT_EQ(e.requestPreambles, 5);
        EXPECT_EQ(e.transport, Transport::Serial);
    }
    EXPECT_EQ(all[1]->answerPreambles, 5);
    EXPECT_EQ(all[1]->answer.front(), 0x06);
    EXPECT_EQ(all[1]->Result(), ResultClass::Ok);
    EXPECT_TRUE(all[2]->answer.empty());
    // Silence costs the answer time-out; an answer its bytes at 1200 bit/s.
    EXPECT_EQ(all[2]->endedUs - all[2]->sentUs, 500'000 + LinkTiming{}.TransmitMs(10) * 1000);
    EXPECT_GT(all[1]->endedUs, all[1]->sentUs);
    EXPECT_GE(all[1]->sentUs, all[0]->endedUs);
}

TEST_F(RecorderFixture, RefusalsAndAnswersToOtherCommandsAreTold) {
    device.Faults().responseCodeFor[0] = 16;
    ASSERT_EQ(link.Transact(Request(0)), 200);
    EXPECT_EQ(recorder.All().back()->Result(), ResultClass::Refused);

    // A late answer to another command is dropped, and the try repeated.
    Bytes reply{0xFF, 0xFF, 0x06, 0x00, 0x03, 0x02, 0x00, 0x00};
    std::uint8_t sum = 0;
    for (std::size_t k = 2; k < reply.size(); ++k) sum ^= reply[k];
    reply.push_back(sum);
    port.Line().scriptedReply = reply;
    EXPECT_EQ(link.Transact(Request(0)), 209);
    const auto all = recorder.All();
    EXPECT_EQ(all.back()->outcome, Outcome::OtherCommand);
    EXPECT_EQ(all.back()->attempt, 4);
    EXPECT_EQ(all.back()->Result(), ResultClass::Failed);
}

TEST_F(RecorderFixture, RequestsThatNeverLeftAreRecordedAsNotSent) {
    port.Line().hasCarrierLine = true;
    port.Line().carrierOnUntil = clock.NowMs() + 1'000'000;
    EXPECT_EQ(link.Transact(Request(0)), 209);
    auto all = recorder.All();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all.back()->outcome, Outcome::LineBusy);
    EXPECT_FALSE(all.back()->Sent());

    port.Line().hasCarrierLine = false;
    port.Line().gone = true;
    EXPECT_EQ(link.Transact(Request(0)), 209);
    // The link asks the port before it writes: a vanished port is seen there.
    EXPECT_EQ(recorder.All().back()->outcome, Outcome::PortClosed);
    const auto size = recorder.Size();
    EXPECT_EQ(link.Transact(Request(0)), 209);  // gone: nothing more is tried
    EXPECT_EQ(recorder.Size(), size);
    link.ClosePort();
    EXPECT_EQ(link.SendFrame(Request(0)), 209);
    EXPECT_EQ(recorder.All().back()->outcome, Outcome::PortClosed);
}

TEST(ExchangeRecorderTest, DropsTheOldestPastItsBoundAndCountsThem) {
    std::int64_t now = 0;
    ExchangeRecorder recorder(3, [&] { return now; });
    const Bytes request = Request(3);
    for (int i = 0; i < 5; ++i) {
        recorder.RequestSent(request, 1);
        now += 10;
        recorder.ReceiveEnded({}, 0, ReceiveEnd::NoAnswer);
    }
    EXPECT_EQ(recorder.Size(), 3u);
    EXPECT_EQ(recorder.Dropped(), 2u);
    const auto kept = recorder.All();
    EXPECT_EQ(kept.front()->number, 3u);
    EXPECT_EQ(kept.back()->number, 5u);
    EXPECT_EQ(recorder.Since(4).size(), 1u);
    EXPECT_TRUE(recorder.Since(5).empty());
    EXPECT_EQ(recorder.Since(1).size(), 3u);  // the ones still kept

    // A send whose receive never ended is closed by the next send.
    recorder.RequestSent(request, 1);
    recorder.RequestSent(request, 2);
    recorder.ReceiveEnded({}, 0, ReceiveEnd::NoAnswer);
    EXPECT_EQ(recorder.All().back()->number, 7u);
    EXPECT_EQ(recorder.Dropped(), 4u);

    recorder.Clear();
    EXPECT_EQ(recorder.Size(), 0u);
    EXPECT_EQ(recorder.Dropped(), 4u);
    recorder.RequestSent(request, 1);
    recorder.ReceiveEnded({}, 0, ReceiveEnd::NoAnswer);
    EXPECT_EQ(recorder.All().front()->number, 8u);
}

// The worker records while the window reads: no torn exchange, no race (run
// under ThreadSanitizer by ./dev tsan).
TEST(ExchangeRecorderTest, OneThreadRecordsWhileAnotherReads) {
    ExchangeRecorder recorder(100);
    std::atomic<int> heard{0};
    recorder.OnFinished([&](const Exchange&) { ++heard; });
    const Bytes request = Request(3);
    const Bytes answer{0x86, 0, 0, 0, 0, 0, 3, 2, 0, 0, 0x81};
    constexpr int kExchanges = 5000;
    std::thread worker([&] {
        for (int i = 0; i < kExchanges; ++i) {
            recorder.RequestSent(request, 1);
            recorder.ReceiveEnded(answer, 5, ReceiveEnd::Answer);
        }
    });
    std::uint64_t last = 0;
    std::size_t read = 0;
    while (last < kExchanges) {
        for (const ExchangePtr& e : recorder.Since(last)) {
            ASSERT_GT(e->number, last);
            ASSERT_EQ(e->answer, answer);
            last = e->number;
            ++read;
        }
    }
    worker.join();
    EXPECT_EQ(heard, kExchanges);
    EXPECT_EQ(recorder.Size(), 100u);
    EXPECT_EQ(recorder.Dropped(), static_cast<std::uint64_t>(kExchanges - 100));
    EXPECT_LE(read, static_cast<std::size_t>(kExchanges));
}

}  // namespace
}  // namespace qt40::traffic
