// A serial port that vanishes at every exchange of a device procedure: the
// procedure ends at once with a clear failure, nothing spins while the failure
// waits on the user or after it, and connecting again works.

#include <gtest/gtest.h>

#include "tests/support/PortLossRig.h"

using namespace qt40;
using namespace qt40::testing;

namespace {

PortLossCase Upload() {
    PortLossCase c;
    c.name = "connection and upload";
    c.start = [](PortLossRig& rig) { ASSERT_EQ(rig.controller.ConnectDevice(), 200); };
    c.ended = [](PortLossRig& rig) { return rig.view.established || Closed(rig); };
    c.succeeded = [](PortLossRig& rig) {
        return rig.view.established && rig.worker.RecordSnapshot().deviceTypeName == "QT40";
    };
    c.clearFailure = LostLine;
    return c;
}

// A single write that the failure policy retries once without asking.
PortLossCase DampingWrite() {
    PortLossCase c;
    c.name = "damping write";
    c.prepare = [](PortLossRig& rig) {
        rig.ConnectAndPoll();
        rig.QuietPolling();
        rig.worker.WithSession([](DeviceState& s) { s.writes.dampingText = "6.5"; });
    };
    c.start = [](PortLossRig& rig) {
        ASSERT_EQ(rig.worker.SubmitRequest(WorkerRequest::WriteDamping, false), 200);
    };
    c.ended = [](PortLossRig& rig) {
        return rig.Saw(WorkerRequest::WriteDamping, 200) || Closed(rig);
    };
    c.succeeded = [](PortLossRig& rig) {
        return rig.Saw(WorkerRequest::WriteDamping, 200) &&
               rig.worker.RecordSnapshot().damping == 6.5;
    };
    c.clearFailure = LostLine;
    return c;
}

// The modem pulled out while the live values are watched.
PortLossCase IdlePoll() {
    PortLossCase c;
    c.name = "idle poll";
    c.prepare = [](PortLossRig& rig) {
        rig.ConnectAndPoll();
        rig.QuietPolling();
        rig.view.polls.clear();
    };
    c.start = [](PortLossRig& rig) { rig.worker.SetPolling(true); };
    c.ended = [](PortLossRig& rig) { return !rig.view.polls.empty() || Closed(rig); };
    c.succeeded = [](PortLossRig& rig) {
        return !rig.view.polls.empty() && rig.view.polls.front() == 200;
    };
    c.clearFailure = LostLine;
    return c;
}

}  // namespace

TEST(PortLost, AtEveryExchangeOfAPollCycle) {
    int exchanges = 0;
    RunPortLoss(IdlePoll(), exchanges);
    EXPECT_EQ(exchanges, 3);  // commands 3, 2, 48
}

TEST(PortLost, AtEveryExchangeOfTheConnectionAndUpload) {
    int exchanges = 0;
    RunPortLoss(Upload(), exchanges);
    EXPECT_EQ(exchanges, 19);  // identification and the 18 upload steps
}

TEST(PortLost, AtTheExchangeOfAWriteThatIsRetriedWithoutAsking) {
    int exchanges = 0;
    RunPortLoss(DampingWrite(), exchanges);
    EXPECT_EQ(exchanges, 1);
}
