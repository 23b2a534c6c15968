// The link, the worker and the connection logic over the termios port and a
// pseudo-terminal, against the simulated transmitter.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "link/CommWorker.h"
#include "procedures/ConnectionController.h"
#include "link/NotificationQueue.h"
#include "transport/PosixSerialPort.h"
#include "link/RequestTable.h"
#include "link/DataLink.h"
#include "model/ScriptedPrompts.h"
#include "procedures/Station.h"
#include "tests/support/PtyFixture.h"
#include "tests/support/RecordingView.h"

namespace qt40 {
namespace {

// Short time-outs, but wide enough for a loaded machine: the timing itself is
// not under test here.
LinkTiming TestTiming() {
    LinkTiming t = LinkTiming::Fast();
    t.answerTimeoutMs = 300;
    t.interByteTimeoutMs = 200;
    t.searchAnswerTimeoutMs = 200;
    return t;
}

class LinkOverPty : public ::testing::Test {
protected:
    void StartDevice(std::uint8_t address = 0) {
        server = testing::StartSimulator(address);
        controller.SetPortName(server->SlavePath());
    }

    void SetAddress(int address) {
        worker.WithSession([&](DeviceState& s) {
            s.record.pollingAddress = static_cast<std::int16_t>(address);
            s.link.pollingAddress = address;
        });
    }

    // Hands notifications to the connection logic until `done` holds. The
    // limit only keeps a broken build from hanging; it is no timing check.
    bool PumpUntil(const std::function<bool()>& done) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done()) {
            if (std::chrono::steady_clock::now() > limit) return false;
            if (const auto next = queue.WaitNext(50)) {
                seen.push_back(next->notification);
                controller.HandleNotification(next->notification);
            }
        }
        return true;
    }

    // The completion result of `code`, pumping until it arrives.
    int RunRequest(WorkerRequest code, bool polling = true) {
        const std::size_t from = seen.size();
        EXPECT_EQ(worker.SubmitRequest(code, polling), kCommSuccess);
        const auto result = [&] {
            for (std::size_t i = from; i < seen.size(); ++i) {
                if (seen[i].Completes(code)) return int{seen[i].result};
            }
            return 0;
        };
        PumpUntil([&] { return result() != 0 || !controller.Connected(); });
        // A connection given up posts the completion while the worker stops.
        while (const auto rest = queue.WaitNext(0)) seen.push_back(rest->notification);
        return result();
    }

    void ConnectAndUpload() {
        ASSERT_EQ(controller.Connect(), kCommSuccess) << link.LastError();
        ASSERT_TRUE(PumpUntil([&] { return view.established || !controller.Connected(); }));
        ASSERT_TRUE(view.established);
    }

    std::unique_ptr<sim::SimPtyServer> server;
    PosixSerialPort port;
    SteadyClock clock;
    NullTraceSink trace;
    NotificationQueue queue;
    ScriptedPrompts prompts;
    test::RecordingView view;
    Station station{{clock, port, trace, queue, prompts, view, TestTiming()}};
    DataLink& link = station.Link();
    CommWorker& worker = station.Worker();
    ConnectionController& controller = station.Controller();
    std::vector<Notification> seen;

    void SetUp() override {
        worker.SetReceiver(kReceiverConnectDevice);
        controller.SetReconnectWaitMs(0);
        view.currentAddress = [this] { return controller.PollingAddress(); };
    }
    void TearDown() override { controller.StopConnection(); }
};

TEST_F(LinkOverPty, ConnectIdentifiesUploadsAndPolls) {
    StartDevice();
    ConnectAndUpload();

    // The upload bar moves in 18 steps and ends at 100.
    ASSERT_EQ(view.uploadPercent.size(), static_cast<std::size_t>(kUploadStepCount));
    EXPECT_FLOAT_EQ(view.uploadPercent.back(), 100.0f);
    const DeviceRecord r = worker.RecordSnapshot();
    EXPECT_EQ(r.deviceTypeName, "QT40");
    EXPECT_EQ(r.tag, "TT-101  ");
    EXPECT_EQ(r.sensorType, 12);
    EXPECT_EQ(r.pvUnit, 32);
    EXPECT_DOUBLE_EQ(r.upperRange, 100.0);
    EXPECT_DOUBLE_EQ(r.aoAlarmHigh, 21.75);

    // The worker now polls on its own.
    ASSERT_TRUE(PumpUntil([&] { return view.polls.size() >= 3; }));
    for (int result : view.polls) EXPECT_EQ(result, kCommSuccess);
    EXPECT_EQ(view.failures, 0);
}

TEST_F(LinkOverPty, ConnectSendsCommandZeroToThePanelsAddress) {
    StartDevice(5);
    SetAddress(5);
    ConnectAndUpload();
    EXPECT_EQ(worker.RecordSnapshot().pollingAddress, 5);
}

TEST_F(LinkOverPty, SearchFromThreeFindsTheDeviceAtSeven) {
    StartDevice(7);
    SetAddress(3);
    prompts.QueueAnswer(Answer::Cancel);  // "Confr_Search_Address": keep the address
    controller.SearchDevice();
    ASSERT_TRUE(PumpUntil([&] { return !prompts.Messages().empty(); }));

    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0].key, "Confr_Search_Address");
    // Named by the tag and device ID read over the pseudo-terminal.
    EXPECT_EQ(DescribeArgs(prompts.Messages()[0].args),
              DescribeArgs({7LL, std::string("TT-101"), std::string("41394")}));
    EXPECT_EQ(view.searchedAddresses, (std::vector<int>{3, 4, 5, 6, 7}));
    EXPECT_EQ(view.addresses, (std::vector<int>{7}));
    EXPECT_FALSE(controller.Connected());
}

TEST_F(LinkOverPty, SearchAnsweredYesConnectsAtTheAddressFound) {
    StartDevice(2);
    SetAddress(0);
    prompts.QueueAnswer(Answer::Yes);
    controller.SearchDevice();
    ASSERT_TRUE(PumpUntil([&] { return view.established || !prompts.Unanswered().empty(); }));
    EXPECT_EQ(worker.RecordSnapshot().deviceTypeName, "QT40");
    EXPECT_EQ(controller.PollingAddress(), 2);
}

TEST_F(LinkOverPty, WriteRequestReachesTheDevice) {
    StartDevice();
    ConnectAndUpload();
    ASSERT_EQ(controller.WritePollingAddress(4), kCommSuccess);
    ASSERT_TRUE(PumpUntil([&] { return !view.addresses.empty(); }));
    EXPECT_EQ(view.addresses.back(), 4);
    EXPECT_EQ(server->WithDevice([](sim::SimDevice& d) { return int{d.State().pollingAddress}; }),
              4);
}

TEST_F(LinkOverPty, DroppedAndCorruptAnswersAreRecoveredByTheLinksRetries) {
    StartDevice();
    ConnectAndUpload();
    struct Row {
        const char* fault;
    };
    for (const Row row : {Row{"drop:1"}, Row{"checksum:1"}, Row{"noise:1"}, Row{"gap:1"}}) {
        SCOPED_TRACE(row.fault);
        server->WithDevice([&](sim::SimDevice& d) {
            EXPECT_FALSE(sim::ApplyFaultSwitch(row.fault, d.Faults()).has_value());
        });
        // Command 150 (request 409): the second try goes through.
        EXPECT_EQ(RunRequest(WorkerRequest::ReadSensorRange), kCommSuccess);
    }
    EXPECT_EQ(view.failures, 0);
    EXPECT_TRUE(prompts.Messages().empty());
}

TEST_F(LinkOverPty, ABusyDeviceIsAskedAgainAndARefusalEndsTheRequestAsRejected) {
    StartDevice();
    ConnectAndUpload();
    // Busy, then "delayed response": the same request again until the real answer.
    server->WithDevice([](sim::SimDevice& d) {
        d.Faults().busy.remaining = 1;
        ASSERT_FALSE(sim::ApplyFaultSwitch("delayed:150=1", d.Faults()));
    });
    EXPECT_EQ(RunRequest(WorkerRequest::ReadSensorRange), kCommSuccess);
    EXPECT_EQ(worker.WithSession([](DeviceState& s) { return int{s.link.responseCode}; }), 0);
    server->WithDevice([](sim::SimDevice& d) {
        d.Faults().delayedFor.clear();
        d.Faults().refuse.remaining = 1;
    });
    EXPECT_EQ(RunRequest(WorkerRequest::ReadSensorRange), kCommAnswerRejected);
    EXPECT_EQ(worker.WithSession([](DeviceState& s) { return int{s.link.responseCode}; }), 6);
    EXPECT_TRUE(prompts.Messages().empty());
    EXPECT_TRUE(controller.Connected());
}

TEST_F(LinkOverPty, SilentDeviceAfterAWriteRetriesOnceThenAsks) {
    StartDevice();
    ConnectAndUpload();
    server->WithDevice([](sim::SimDevice& d) { d.Faults().dropAnswer.remaining = -1; });
    prompts.QueueAnswer(Answer::Cancel);  // "Err_COM"
    // Request 410 (command 34) is a write: its first failure is retried unasked.
    EXPECT_EQ(RunRequest(WorkerRequest::WriteDamping), kCommExchangeFailed);
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0].key, "Err_COM");
    EXPECT_EQ(view.failures, 2);
    EXPECT_FALSE(controller.Connected());
}

TEST_F(LinkOverPty, VanishedPortFailsTheConnectionAndCanBeOpenedAgain) {
    StartDevice();
    ConnectAndUpload();
    prompts.QueueAnswer(Answer::Cancel);  // "Err_Port_Vanished"
    server->Stop();
    ASSERT_TRUE(PumpUntil([&] { return !controller.Connected(); }));
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0].key, "Err_Port_Vanished");
    EXPECT_EQ(prompts.Messages()[0].args, MessageArgs{server->SlavePath()});
    EXPECT_FALSE(worker.Running());

    // The modem comes back (as a new line): the same objects connect again.
    view.established = false;
    StartDevice();
    ConnectAndUpload();
    EXPECT_EQ(worker.RecordSnapshot().deviceTypeName, "QT40");
}

TEST_F(LinkOverPty, ExchangeOnAVanishedPortFailsWithoutRetrying) {
    StartDevice();
    ASSERT_EQ(link.OpenPort(ConnectionController::PortDefinition(server->SlavePath())),
              kCommSuccess);
    const auto request = testing::IdentifyRequest(0);
    ASSERT_EQ(link.Transact(request), kCommSuccess);
    server->Stop();
    EXPECT_EQ(link.Transact(request), kCommExchangeFailed);
    EXPECT_TRUE(link.PortGone());
    // Every later exchange fails at the first step, before touching the port.
    EXPECT_EQ(link.SendFrame(request), kCommExchangeFailed);
    link.ClosePort();
}

TEST_F(LinkOverPty, PortThatDoesNotExistAsksAndGivesUp) {
    controller.SetPortName("/dev/qt40-no-such-port");
    prompts.QueueAnswer(Answer::Cancel);
    EXPECT_EQ(controller.Connect(), kCommPortNotOpened);
    ASSERT_EQ(prompts.Messages().size(), 1u);
    // The message says the port is missing rather than that the loop failed.
    EXPECT_EQ(prompts.Messages()[0].key, "Err_Port_Missing");
    EXPECT_EQ(prompts.Messages()[0].args, MessageArgs{"/dev/qt40-no-such-port"});
    EXPECT_EQ(link.LastOpenError().kind, OpenFailure::Missing);
    EXPECT_NE(link.LastError().find("No such file"), std::string::npos) << link.LastError();
    EXPECT_FALSE(controller.Connected());
}

}  // namespace
}  // namespace qt40
