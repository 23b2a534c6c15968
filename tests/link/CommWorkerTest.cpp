// The worker and the connection logic against the simulated transmitter on an
// in-memory line. The line runs on virtual time (silence costs nothing); the
// worker's own waits are real, so every wait here is bounded.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "link/CommWorker.h"
#include "procedures/ConnectionController.h"
#include "link/NotificationQueue.h"
#include "model/ScriptedPrompts.h"
#include "tests/support/LinkRig.h"

using namespace qt40;

namespace {

struct WorkerFixture : ::testing::Test, test::LinkRigOf<ScriptedPrompts> {
    std::vector<Notification> seen;

    // Hands notifications to the connection logic until `done` holds.
    bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
        SteadyClock real;
        const auto end = real.NowMs() + timeoutMs;
        while (!done()) {
            if (real.NowMs() > end) return false;
            if (auto next = queue.WaitNext(20)) {
                seen.push_back(next->notification);
                controller.HandleNotification(next->notification);
            }
        }
        return true;
    }

    // The completion of `request` with `result`.
    bool Saw(WorkerRequest request, int result) const {
        for (const auto& n : seen) {
            if (n.Completes(request) && n.result == result) return true;
        }
        return false;
    }
    bool SawFailure(WorkerRequest request) const {
        for (const auto& n : seen) {
            if (n.Fails(request)) return true;
        }
        return false;
    }

    void ConnectAndPoll() {
        ASSERT_EQ(controller.ConnectDevice(), 200);
        ASSERT_TRUE(PumpUntil([&] { return view.established; }));
        ASSERT_TRUE(PumpUntil([&] { return !view.polls.empty(); }));
    }

    template <class F>
    void Device(F&& f) {
        WithDevice(std::forward<F>(f));
    }
};

}  // namespace

TEST_F(WorkerFixture, IdleWorkerWithoutPollingSendsNothing) {
    ASSERT_EQ(link.OpenPort("COM3:"), 200);
    ASSERT_EQ(worker.StartWorker(), 200);
    EXPECT_FALSE(queue.WaitNext(300));
    EXPECT_TRUE(port.Written().empty());
    EXPECT_EQ(worker.StopWorker(), 200);
    EXPECT_FALSE(link.IsOpen());
}

TEST_F(WorkerFixture, SubmittingWithoutAWorkerIsRefused) {
    EXPECT_EQ(worker.SubmitRequest(WorkerRequest::WriteDamping, true), 205);
    EXPECT_TRUE(port.Written().empty());
}

TEST_F(WorkerFixture, ConnectingIdentifiesUploadsAndPolls) {
    ConnectAndPoll();
    EXPECT_TRUE(Saw(WorkerRequest::Identify, 200));
    EXPECT_TRUE(Saw(WorkerRequest::Upload, 200));
    EXPECT_TRUE(Saw(WorkerRequest::StartPolling, 200));
    ASSERT_EQ(view.progress.size(), 18u);
    EXPECT_FLOAT_EQ(view.progress.back(), 100.0f);
    EXPECT_EQ(view.events.front(), "hide 0");  // the stop before connecting
    EXPECT_NE(std::find(view.events.begin(), view.events.end(), "show 0 Upload_Dev_Info"),
              view.events.end());

    const DeviceRecord record = worker.RecordSnapshot();
    EXPECT_EQ(record.deviceTypeName, "QT40");
    EXPECT_EQ(record.tag, "TT-101  ");
    EXPECT_EQ(record.sensorType, 12);

    // Identify, the upload, then polling cycles of 3, 2, 48.
    const auto commands = Commands();
    const std::vector<int> upload{0, 0, 130, 14, 15, 147, 132, 134, 141, 3, 16, 139, 145, 154,
                                  12, 137, 150, 13, 143};
    ASSERT_GE(commands.size(), upload.size() + 3);
    EXPECT_EQ(std::vector<int>(commands.begin(), commands.begin() + 19), upload);
    EXPECT_EQ(std::vector<int>(commands.begin() + 19, commands.begin() + 22),
              (std::vector<int>{3, 2, 48}));
    EXPECT_TRUE(prompts.Messages().empty());
}

TEST_F(WorkerFixture, AFailedWriteIsRetriedOnceWithoutAsking) {
    ConnectAndPoll();
    Device([](sim::SimDevice& d) {
        d.Faults().onlyCommand = 34;
        d.Faults().dropAnswer.remaining = 4;  // one whole exchange of four tries
    });
    worker.WithSession([](DeviceState& s) { s.writes.dampingText = "5.000"; });
    ASSERT_EQ(worker.SubmitRequest(WorkerRequest::WriteDamping, true), 200);
    ASSERT_TRUE(PumpUntil([&] { return Saw(WorkerRequest::WriteDamping, 200); }));
    EXPECT_TRUE(SawFailure(WorkerRequest::WriteDamping));
    EXPECT_TRUE(prompts.Messages().empty());
    EXPECT_EQ(view.failures, 1);
    Device([](sim::SimDevice& d) { EXPECT_EQ(d.State().damping, 5.0f); });
    EXPECT_DOUBLE_EQ(worker.RecordSnapshot().damping, 5.0);
}

TEST_F(WorkerFixture, ASecondFailureAsksAndCancelDisconnects) {
    ConnectAndPoll();
    Device([](sim::SimDevice& d) {
        d.Faults().onlyCommand = 34;
        d.Faults().dropAnswer.remaining = -1;
    });
    prompts.QueueAnswer(Answer::Cancel);
    worker.WithSession([](DeviceState& s) { s.writes.dampingText = "5.000"; });
    ASSERT_EQ(worker.SubmitRequest(WorkerRequest::WriteDamping, true), 200);
    ASSERT_TRUE(PumpUntil([&] { return !controller.Connected(); }));
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0].key, "Err_COM");
    EXPECT_EQ(prompts.Messages()[0].type, BoxType::RetryCancelInfoSystemModal);
    EXPECT_EQ(DescribeArgs(prompts.Messages()[0].args), DescribeArgs({std::string("COM3")}));
    EXPECT_FALSE(link.IsOpen());
    EXPECT_FALSE(worker.Running());
    Device([](sim::SimDevice& d) { EXPECT_EQ(d.State().damping, 2.0f); });
}

TEST_F(WorkerFixture, RetryAfterTheQuestionRecovers) {
    ConnectAndPoll();
    Device([](sim::SimDevice& d) {
        d.Faults().onlyCommand = 34;
        d.Faults().dropAnswer.remaining = 8;  // the automatic retry fails too
    });
    prompts.QueueAnswer(Answer::Retry);
    worker.WithSession([](DeviceState& s) { s.writes.dampingText = "7"; });
    ASSERT_EQ(worker.SubmitRequest(WorkerRequest::WriteDamping, true), 200);
    ASSERT_TRUE(PumpUntil([&] { return Saw(WorkerRequest::WriteDamping, 200); }));
    EXPECT_EQ(prompts.Messages().size(), 1u);
    EXPECT_TRUE(controller.Connected());
}

TEST_F(WorkerFixture, ATablePointWriteIsRetriedTwiceBeforeAsking) {
    ConnectAndPoll();
    Device([](sim::SimDevice& d) {
        d.Faults().onlyCommand = 193;
        d.Faults().dropAnswer.remaining = -1;
    });
    worker.WithSession([](DeviceState& s) {
        s.writes.customTable.valueTexts[0] = "1.5";
        s.pointIndex = 0;
    });
    prompts.QueueAnswer(Answer::Cancel);
    ASSERT_EQ(worker.SubmitRequest(WorkerRequest::WriteCustomTcPoint, true), 200);
    ASSERT_TRUE(PumpUntil([&] { return !controller.Connected(); }));
    int failures = 0;
    for (const auto& n : seen) failures += n.Fails(WorkerRequest::WriteCustomTcPoint);
    EXPECT_EQ(failures, 3);
    EXPECT_EQ(prompts.Messages().size(), 1u);
    // Both silent retries left the failure mark alone only while both flags were set.
    EXPECT_EQ(view.failures, 2);
}

TEST_F(WorkerFixture, ARejectedPollAnswerEndsTheCycle) {
    ConnectAndPoll();
    const auto before = Commands().size();
    Device([](sim::SimDevice& d) { d.Faults().responseCodeFor[3] = 16; });
    ASSERT_TRUE(PumpUntil([&] { return !view.polls.empty() && view.polls.back() == 208; }));
    ASSERT_TRUE(PumpUntil([&] { return view.polls.size() >= 6; }));
    Device([](sim::SimDevice& d) { d.Faults().responseCodeFor.clear(); });
    const auto commands = Commands();
    // Once the device refuses command 3, every cycle starts again with 3.
    std::size_t firstRejected = before;
    while (firstRejected < commands.size() && commands[firstRejected] != 3) ++firstRejected;
    for (std::size_t i = firstRejected + 3; i + 1 < commands.size(); ++i) {
        if (commands[i] == 3) {
            EXPECT_NE(commands[i + 1], 2) << i;
        }
    }
    EXPECT_TRUE(prompts.Messages().empty());
}

TEST_F(WorkerFixture, StoppingWhileTheWorkerWaitsForAnAnswer) {
    ASSERT_EQ(link.OpenPort("COM3:"), 200);
    Device([](sim::SimDevice& d) { d.Faults().dropAnswer.remaining = -1; });
    ASSERT_EQ(worker.StartWorker(), 200);
    ASSERT_EQ(worker.SubmitRequest(WorkerRequest::ReadAfterSensorType, false), 200);
    auto failure = queue.WaitNext(3000);
    ASSERT_TRUE(failure);
    EXPECT_TRUE(failure->notification.Fails(WorkerRequest::ReadAfterSensorType));
    EXPECT_EQ(worker.StopWorker(), 200);
    auto completion = queue.WaitNext(1000);
    auto ended = queue.WaitNext(1000);
    ASSERT_TRUE(completion && ended);
    EXPECT_TRUE(completion->notification.Completes(WorkerRequest::ReadAfterSensorType));
    EXPECT_EQ(completion->notification.result, 209);
    EXPECT_EQ(ended->notification.kind, NotificationKind::WorkerEnded);

    // A new start: what the stopped worker posted is told apart from what the
    // new one posts, so a window that reads its queue late drops the old failure.
    // Identify: nothing identified the device yet, so a long-frame request
    // would go to no address.
    Device([](sim::SimDevice& d) { d.Faults().dropAnswer.remaining = 0; });
    ASSERT_EQ(link.OpenPort("COM3:"), 200);
    ASSERT_EQ(worker.StartWorker(), 200);
    ASSERT_EQ(worker.SubmitRequest(WorkerRequest::Identify, false), 200);
    for (const auto* old : {&*failure, &*completion, &*ended}) {
        EXPECT_NE(old->notification.run, worker.RunNumber());
    }
    // Whatever the stopped worker still had queued carries its own number; the
    // first notification of the new run is the new request's completion.
    std::optional<QueuedNotification> fresh;
    while ((fresh = queue.WaitNext(3000)) && fresh->notification.run != worker.RunNumber()) {
    }
    ASSERT_TRUE(fresh);
    EXPECT_TRUE(fresh->notification.Completes(WorkerRequest::Identify));
    EXPECT_EQ(fresh->notification.result, 200);
}

TEST_F(WorkerFixture, SearchFromThreeFindsTheDeviceAtSeven) {
    Device([](sim::SimDevice& d) { d.State().pollingAddress = 7; });
    worker.WithSession([](DeviceState& s) { s.record.pollingAddress = 3; });
    prompts.QueueAnswer(Answer::Yes);
    ASSERT_EQ(controller.SearchDevice(), 200);
    ASSERT_TRUE(PumpUntil([&] { return view.established; }));
    EXPECT_EQ(view.searchedAddresses, (std::vector<int>{4, 5, 6, 7}));
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0].key, "Confr_Search_Address");
    // Named by its tag and device ID, read before the question.
    EXPECT_EQ(DescribeArgs(prompts.Messages()[0].args),
              DescribeArgs({7LL, std::string("TT-101"), std::string("41394")}));
    EXPECT_EQ(prompts.Messages()[0].type, BoxType::YesNoCancelInfoSystemModal);
    EXPECT_EQ(view.addresses, (std::vector<int>{7}));
    EXPECT_EQ(worker.RecordSnapshot().deviceTypeName, "QT40");
    // One try per address while searching.
    const auto commands = Commands();
    EXPECT_EQ(std::count(commands.begin(), commands.begin() + 5, 0), 5);
}

TEST_F(WorkerFixture, SearchWithoutADeviceAsksAtFifteenAndCanStartAgain) {
    Device([](sim::SimDevice& d) { d.State().pollingAddress = 40; });  // out of reach
    worker.WithSession([](DeviceState& s) { s.record.pollingAddress = 14; });
    prompts.QueueAnswers({Answer::Retry, Answer::Cancel});
    ASSERT_EQ(controller.SearchDevice(), 200);
    ASSERT_TRUE(PumpUntil([&] { return prompts.Messages().size() == 2 && !controller.Connected(); }));
    EXPECT_EQ(prompts.Messages()[0].key, "Err_Not_Device");
    EXPECT_EQ(prompts.Messages()[1].key, "Err_Not_Device");
    std::vector<int> expected{15};
    for (int a = 0; a <= 15; ++a) expected.push_back(a);
    EXPECT_EQ(view.searchedAddresses, expected);
    EXPECT_EQ(controller.PollingAddress(), 0);
    EXPECT_EQ(port.Written().size(), 2u + 16u);
}

TEST_F(WorkerFixture, AFailureDuringUploadRepeatsOnlyThatStep) {
    Device([](sim::SimDevice& d) {
        d.Faults().onlyCommand = 3;
        d.Faults().dropAnswer.remaining = 4;
    });
    prompts.QueueAnswer(Answer::Retry);
    ASSERT_EQ(controller.ConnectDevice(), 200);
    ASSERT_TRUE(PumpUntil([&] { return view.established; }));
    const auto commands = Commands();
    const std::vector<int> expected{0, 0, 130, 14, 15, 147, 132, 134, 141, 3, 3, 3, 3, 3, 16};
    EXPECT_EQ(std::vector<int>(commands.begin(), commands.begin() + 15), expected);
    EXPECT_EQ(prompts.Messages().size(), 1u);
    EXPECT_FLOAT_EQ(view.progress.back(), 100.0f);
}

// The sequence stops at the refusal, and the technician is told which
// command the device refused and why, not left with a progress that vanished.
TEST_F(WorkerFixture, ARejectedIdentificationStopsTheSequenceAndSaysWhy) {
    Device([](sim::SimDevice& d) { d.Faults().responseCodeFor[0] = 0x40; });
    prompts.QueueAnswer(Answer::Ok);
    ASSERT_EQ(controller.ConnectDevice(), 200);
    ASSERT_TRUE(PumpUntil([&] { return Saw(WorkerRequest::Identify, 208); }));
    EXPECT_FALSE(view.established);
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0].key, "Err_Connect_Refused");
    EXPECT_EQ(DescribeArgs(prompts.Messages()[0].args),
              DescribeArgs({0LL, controller.PortName(), 0LL, std::string("command not implemented")}));
    EXPECT_EQ(Commands(), (std::vector<int>{0}));
}

TEST_F(WorkerFixture, WritingThePollingAddress) {
    ConnectAndPoll();
    ASSERT_EQ(controller.WritePollingAddress(5), 200);
    ASSERT_TRUE(PumpUntil([&] { return !view.addresses.empty(); }));
    EXPECT_EQ(view.addresses.back(), 5);
    Device([](sim::SimDevice& d) { EXPECT_EQ(d.State().pollingAddress, 5); });
}

TEST_F(WorkerFixture, APausedWorkerStartsNoExchange) {
    ConnectAndPoll();
    worker.SetPause(true);
    SteadyClock real;
    real.SleepMs(100);  // let a running poll cycle finish
    const auto before = port.Written().size();
    real.SleepMs(400);
    EXPECT_EQ(port.Written().size(), before);
    worker.WithSession([](DeviceState& s) { s.writes.dampingText = "4"; });
    ASSERT_EQ(worker.SubmitRequest(WorkerRequest::WriteDamping, true), 200);
    worker.SetPause(false);
    ASSERT_TRUE(PumpUntil([&] { return Saw(WorkerRequest::WriteDamping, 200); }));
}
