// A serial port that vanishes at every exchange of a device procedure: the
// procedure ends at once with a clear failure, nothing spins while the failure
// waits on the user or after it, and connecting again works.

#include <gtest/gtest.h>

#include "PortLossRig.h"
#include "model/ScriptedPrompts.h"

using namespace qt40;
using namespace qt40::testing;

namespace {

// What every procedure shows when the line is lost: the failure mark, the
// one "Err_COM" question naming the port, and a closed connection.
std::string LostLine(PortLossRig& rig) {
    std::string wrong;
    if (rig.prompts.Count("Err_COM") != 1) {
        wrong += "Err_COM asked " + std::to_string(rig.prompts.Count("Err_COM")) + " times; ";
    } else {
        for (const auto& a : rig.prompts.asked) {
            if (a.key == "Err_COM" && DescribeArgs(a.args) != DescribeArgs({std::string("COM3")})) {
                wrong += "Err_COM without the port name; ";
            }
        }
    }
    if (rig.view.failures == 0) wrong += "no failure mark; ";
    if (rig.controller.Connected() || rig.worker.Running()) wrong += "still connected; ";
    if (rig.link.IsOpen()) wrong += "port left open; ";
    return wrong;
}

bool Closed(PortLossRig& rig) { return !rig.controller.Connected() && !rig.worker.Running(); }

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
        rig.worker.WithSession([](HartSession& s) { s.writes.dampingText = "6.5"; });
    };
    c.start = [](PortLossRig& rig) { ASSERT_EQ(rig.worker.SubmitRequest(410, false), 200); };
    c.ended = [](PortLossRig& rig) { return rig.Saw(410, 200) || Closed(rig); };
    c.succeeded = [](PortLossRig& rig) {
        return rig.Saw(410, 200) && rig.worker.RecordSnapshot().damping == 6.5;
    };
    c.clearFailure = LostLine;
    return c;
}

}  // namespace

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
