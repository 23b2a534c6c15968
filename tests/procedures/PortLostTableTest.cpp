// A custom table written over a port that vanishes at each of its exchanges:
// header, every point, the end marker and the header read back.

#include <gtest/gtest.h>

#include <memory>

#include "procedures/TableTransfer.h"
#include "tests/support/PortLossRig.h"

using namespace qt40;
using namespace qt40::testing;

namespace {

class LossTableView final : public TableTransferView {
public:
    explicit LossTableView(CommWorker& worker) : worker_(worker) {}
    CommResult Submit(WorkerRequest code, bool polling) override {
        return worker_.SubmitRequest(code, polling);
    }
    void ShowProgress(const std::string&) override {}
    void HideProgress() override {}
    void EnableRead(bool) override {}
    void EnableWrite(bool) override {}
    void TableArrived(bool) override { arrived = true; }
    void ConnectionLost() override { lost = true; }
    void SequenceEnded() override {}
    bool arrived = false;
    bool lost = false;

private:
    CommWorker& worker_;
};

struct TableState {
    VirtualClock storeClock;  // the device's storing time costs nothing
    std::unique_ptr<LossTableView> view;
    std::unique_ptr<TableTransfer> transfer;
};

CustomTableEdit ThreePoints() {
    CustomTableEdit edit;
    edit.size = 3;
    edit.minimumText = "-20";
    edit.stepText = "10";
    edit.valueTexts[0] = "1.5";
    edit.valueTexts[1] = "2.5";
    edit.valueTexts[2] = "3.5";
    return edit;
}

PortLossCase TableWrite() {
    auto state = std::make_shared<TableState>();
    PortLossCase c;
    c.name = "custom TC table write";
    c.prepare = [state](PortLossRig& rig) {
        rig.ConnectAndPoll();
        rig.QuietPolling();
        state->view = std::make_unique<LossTableView>(rig.worker);
        state->transfer = std::make_unique<TableTransfer>(TableKind::CustomTc, rig.worker,
                                                          rig.prompts, *state->view,
                                                          state->storeClock);
        rig.prompts.answers["Confr_Download_CustomTC"] = Answer::Yes;
        rig.procedure = [t = state->transfer.get()](const Notification& n) {
            return t->HandleNotification(n);
        };
    };
    c.start = [state](PortLossRig&) { ASSERT_TRUE(state->transfer->StartWrite(ThreePoints(), true)); };
    c.ended = [state](PortLossRig&) { return !state->transfer->Busy(); };
    c.succeeded = [state](PortLossRig&) { return state->view->arrived && !state->view->lost; };
    c.clearFailure = [state](PortLossRig& rig) {
        std::string wrong = LostLine(rig);
        if (!state->view->lost) wrong += "the panel was not told the connection is lost; ";
        return wrong;
    };
    return c;
}

}  // namespace

TEST(PortLost, AtEveryExchangeOfATableWrite) {
    int exchanges = 0;
    RunPortLoss(TableWrite(), exchanges);
    // Header, three points, the end marker, the header read back.
    EXPECT_EQ(exchanges, 1 + 3 + 1 + 1);
}
