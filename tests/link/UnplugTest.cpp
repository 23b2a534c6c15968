// A USB modem pulled out, and a carrier that never drops, as the connection
// logic meets them on the termios port: the driver's calls fail as a
// hung-up tty's do, the simulator answers on a pseudo-terminal, the worker
// is a real thread. Waits of the link cost no time (the clock adds them
// instead of sleeping), so a carrier time-out would show as three seconds
// on the clock, not in the test's run time.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "link/CommWorker.h"
#include "procedures/ConnectionController.h"
#include "link/NotificationQueue.h"
#include "transport/PosixSerialPort.h"
#include "link/DataLink.h"
#include "procedures/Station.h"
#include "tests/support/RecordingView.h"
#include "tests/support/DriverCalls.h"
#include "tests/support/PtyFixture.h"

namespace qt40 {
namespace {

using testing::DriverCalls;
using testing::OffsetClock;

// Records each question with the clock's time; answers Cancel unless told.
class TimedPrompts final : public Prompts {
public:
    explicit TimedPrompts(Clock& clock) : clock_(clock) {}
    struct Asked {
        std::string key;
        MessageArgs args;
        std::int64_t atMs;
    };
    Answer Message(const std::string& key, const MessageArgs& args, BoxType) override {
        asked.push_back({key, args, clock_.NowMs()});
        return answer ? answer(key) : Answer::Cancel;
    }
    std::optional<NumberResult> EnterNumber(const NumberEntry&) override { return std::nullopt; }
    std::optional<std::string> EnterText(const TextEntry&) override { return std::nullopt; }
    std::optional<SelectionResult> Select(const Selection&) override { return std::nullopt; }
    std::optional<std::string> OpenFileName(const FileRequest&) override { return std::nullopt; }
    std::optional<std::string> SaveFileName(const FileRequest&) override { return std::nullopt; }

    const Asked* Find(const std::string& key) const {
        for (const auto& a : asked) {
            if (a.key == key) return &a;
        }
        return nullptr;
    }
    std::vector<Asked> asked;
    std::function<Answer(const std::string& key)> answer;

private:
    Clock& clock_;
};

class CountingTrace final : public TraceSink {
public:
    void Trace(std::string_view line) override {
        if (line == "TX: Timeout\n") ++carrierTimeouts;
    }
    std::atomic<int> carrierTimeouts{0};
};

class Unplug : public ::testing::Test {
protected:
    static constexpr int kQuietLineMs = 300;  // longer than any other wait of an idle poll

    Unplug() {
        // An unplug armed for the quiet line happens in the wait before a send.
        clock.onSleep = [this](int ms) {
            if (ms > kQuietLineMs - 100 && unplugInQuietLine.exchange(false)) {
                unpluggedAtMs = clock.NowMs();
                calls->Unplug(EIO);
            }
        };
    }

    static LinkTiming Timing() {
        LinkTiming t;  // the real carrier time-out: 3000 ms
        t.quietLineMs = kQuietLineMs;
        t.idlePollMs = 50;
        return t;
    }
    static PosixSerialPort::Options PortOptions(std::shared_ptr<DriverCalls> calls, Clock& clock) {
        PosixSerialPort::Options o;
        o.calls = std::move(calls);
        o.clock = &clock;
        return o;
    }

    void SetUp() override {
        server = testing::StartSimulator();
        controller.SetPortName(server->SlavePath());
        controller.SetReconnectWaitMs(0);
        worker.SetReceiver(kReceiverConnectDevice);
    }
    void TearDown() override { controller.StopConnection(); }

    bool PumpUntil(const std::function<bool()>& done) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done()) {
            if (std::chrono::steady_clock::now() > limit) return false;
            if (const auto next = queue.WaitNext(20)) controller.HandleNotification(next->notification);
        }
        return true;
    }
    void ConnectAndPoll() {
        ASSERT_EQ(controller.Connect(), kCommSuccess) << link.LastError();
        ASSERT_TRUE(PumpUntil([&] { return !view.polls.empty() || !controller.Connected(); }));
        ASSERT_TRUE(view.established);
    }
    bool Closed() { return !controller.Connected() && !worker.Running(); }

    // The vanished-port question, asked within a second of `sinceMs` on the
    // clock, naming the port, with the connection ended; empty when so.
    std::string VanishedQuestionWithin(std::int64_t sinceMs) {
        if (!PumpUntil([&] { return prompts.Find("Err_Port_Vanished") || Closed(); })) {
            return "nothing happened";
        }
        const auto* asked = prompts.Find("Err_Port_Vanished");
        if (!asked) return "ended without the vanished-port question";
        std::string wrong;
        if (asked->atMs - sinceMs >= 1000) {
            wrong += "asked after " + std::to_string(asked->atMs - sinceMs) + " ms; ";
        }
        if (asked->args != MessageArgs{server->SlavePath()}) wrong += "not naming the port; ";
        if (prompts.Find("Err_COM")) wrong += "Err_COM asked too; ";
        if (trace.carrierTimeouts != 0) wrong += "the carrier wait timed out; ";
        if (!PumpUntil([&] { return Closed(); })) wrong += "the connection was not ended; ";
        if (link.IsOpen()) wrong += "the port was left open; ";
        return wrong;
    }

    OffsetClock clock;
    std::shared_ptr<DriverCalls> calls = std::make_shared<DriverCalls>(clock);
    std::unique_ptr<sim::SimPtyServer> server;
    PosixSerialPort port{PortOptions(calls, clock)};
    CountingTrace trace;
    NotificationQueue queue;
    TimedPrompts prompts{clock};
    test::RecordingView view;
    Station station{{clock, port, trace, queue, prompts, view, Timing()}};
    DataLink& link = station.Link();
    CommWorker& worker = station.Worker();
    ConnectionController& controller = station.Controller();
    std::atomic<bool> unplugInQuietLine{false};
    std::atomic<std::int64_t> unpluggedAtMs{0};
};

TEST_F(Unplug, WhileIdlePollingIsNamedWithinASecond) {
    ConnectAndPoll();
    const std::int64_t at = clock.NowMs();
    calls->Unplug(EIO);
    const std::string wrong = VanishedQuestionWithin(at);
    EXPECT_TRUE(wrong.empty()) << wrong;
}

TEST_F(Unplug, WhilePausedIsNamedWithinASecondOfGoingOn) {
    ConnectAndPoll();
    worker.SetPause(true);  // a question box is open
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    calls->Unplug(ENXIO);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    while (const auto next = queue.WaitNext(0)) controller.HandleNotification(next->notification);
    EXPECT_EQ(prompts.Find("Err_Port_Vanished"), nullptr) << "asked over the open box";
    const std::int64_t at = clock.NowMs();
    worker.SetPause(false);
    const std::string wrong = VanishedQuestionWithin(at);
    EXPECT_TRUE(wrong.empty()) << wrong;
}

TEST_F(Unplug, InTheQuietLineIsNamedWithinASecondAndNothingIsSent) {
    ConnectAndPoll();
    const int writes = calls->writes;
    unplugInQuietLine = true;
    ASSERT_TRUE(PumpUntil([&] { return !unplugInQuietLine || Closed(); }));
    const std::string wrong = VanishedQuestionWithin(unpluggedAtMs);
    EXPECT_TRUE(wrong.empty()) << wrong;
    EXPECT_LE(calls->writes, writes + 1) << "requests went into an unplugged port";
}

// Given the modem plugged in again before Retry is pressed, the port is
// opened again and the poll goes on where it stopped.
TEST_F(Unplug, RetryOpensThePortAgainAndGoesOn) {
    ConnectAndPoll();
    prompts.answer = [&](const std::string& key) {
        if (key != "Err_Port_Vanished") return Answer::Cancel;
        calls->unplugged = 0;
        return Answer::Retry;
    };
    calls->Unplug(ENODEV);
    ASSERT_TRUE(PumpUntil([&] { return prompts.Find("Err_Port_Vanished") || Closed(); }));
    view.polls.clear();
    ASSERT_TRUE(PumpUntil([&] { return !view.polls.empty() || Closed(); }));
    EXPECT_TRUE(controller.Connected());
    ASSERT_FALSE(view.polls.empty());
    EXPECT_EQ(view.polls.back(), kCommSuccess);
    EXPECT_EQ(prompts.asked.size(), 1u);
}

// Given a cable that holds carrier detect on, connecting and searching say so
// in words naming the port, once, instead of a bare failure (or a search
// that walks every address at three seconds each).
TEST_F(Unplug, ACarrierThatNeverDropsIsSaidInWords) {
    calls->carrier = true;
    EXPECT_EQ(controller.Connect(), kCommSuccess);
    ASSERT_TRUE(PumpUntil([&] { return Closed(); }));
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].key, "Err_Carrier_Stuck");
    EXPECT_EQ(prompts.asked[0].args, MessageArgs{server->SlavePath()});
    EXPECT_EQ(trace.carrierTimeouts, LinkTiming{}.tries);
    EXPECT_EQ(link.LastFailure(), LinkFailure::CarrierStuck);

    prompts.asked.clear();
    trace.carrierTimeouts = 0;
    while (queue.WaitNext(0)) {  // what the ended connection left, as the window drops it
    }
    EXPECT_EQ(controller.SearchDevice(), kCommSuccess);
    ASSERT_TRUE(PumpUntil([&] { return Closed(); }));
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].key, "Err_Carrier_Stuck");
    EXPECT_EQ(trace.carrierTimeouts, 1) << "the search went on past a stuck carrier";
}

}  // namespace
}  // namespace qt40
