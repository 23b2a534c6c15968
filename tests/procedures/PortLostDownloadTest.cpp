// The configuration download over a port that vanishes at each of its
// exchanges: the re-identification, the 18 writes, and the identification and
// upload that follow them.

#include <gtest/gtest.h>

#include <memory>

#include "procedures/ConfigDownload.h"
#include "files/FileConfigFromDevice.h"
#include "tests/support/PortLossRig.h"

using namespace qt40;
using namespace qt40::testing;

namespace {

struct DownloadState {
    std::unique_ptr<ConfigDownload> download;
    FileConfig values;
};

PortLossCase Download() {
    auto state = std::make_shared<DownloadState>();
    PortLossCase c;
    c.name = "configuration download";
    c.prepare = [state](PortLossRig& rig) {
        rig.ConnectAndPoll();
        rig.QuietPolling();
        state->values = FileConfigFromDevice(rig.worker.RecordSnapshot());
        state->values.tag = "NEW-TAG";
        state->download =
            std::make_unique<ConfigDownload>(rig.worker, rig.controller, rig.prompts);
        rig.procedure = [d = state->download.get()](const Notification& n) {
            return d->HandleNotification(n);
        };
    };
    // As the pages start it: the values, then a fresh connection that leads to them.
    c.start = [state](PortLossRig& rig) {
        state->download->Request(state->values);
        ASSERT_EQ(rig.controller.ConnectDevice(), 200);
    };
    c.ended = [state](PortLossRig&) {
        return !state->download->Requested() && state->download->LastOutcome().has_value();
    };
    c.succeeded = [state](PortLossRig& rig) {
        return state->download->LastOutcome() == ConfigDownload::Outcome::Finished &&
               rig.worker.RecordSnapshot().tag == "NEW-TAG ";
    };
    c.clearFailure = [state](PortLossRig& rig) {
        std::string wrong = LostLine(rig);
        if (state->download->LastOutcome() != ConfigDownload::Outcome::Failed) {
            wrong += "the download did not end as failed; ";
        }
        return wrong;
    };
    return c;
}

}  // namespace

TEST(PortLost, AtEveryExchangeOfTheConfigurationDownload) {
    int exchanges = 0;
    RunPortLoss(Download(), exchanges);
    // Identification and its decoding, 18 writes, identification and upload.
    EXPECT_EQ(exchanges, 2 + 18 + 1 + 18);
}

// Given all 18 values written, when the identification that follows them is
// refused or its line lost, then no upload follows and the download still
// ends as it should (it stayed armed, so the next ordinary connection ended
// it as finished).
TEST(PortLost, TheIdentificationAfterTheWritesEndsTheDownloadWhenItFails) {
    struct Row {
        const char* what;
        bool lost;  // else refused by the device
        ConfigDownload::Outcome outcome;
    };
    for (const Row& row : {Row{"refused", false, ConfigDownload::Outcome::Finished},
                           Row{"line lost", true, ConfigDownload::Outcome::Failed}}) {
        SCOPED_TRACE(row.what);
        PortLossRig rig;
        rig.ConnectAndPoll();
        rig.QuietPolling();
        FileConfig values = FileConfigFromDevice(rig.worker.RecordSnapshot());
        ConfigDownload download(rig.worker, rig.controller, rig.prompts);
        rig.procedure = [&](const Notification& n) { return download.HandleNotification(n); };
        download.OnStep([&](int step, const DownloadStep&) {
            if (step != kDownloadStepCount) return;
            if (row.lost) {
                rig.port.Line().vanishAtWrite = static_cast<int>(rig.port.Written().size()) + 1;
            } else {
                rig.port.WithDevice([](sim::SimDevice& d) { d.Faults().responseCodeFor[0] = 0x40; });
            }
        });
        download.Request(values);
        ASSERT_EQ(rig.controller.ConnectDevice(), 200);
        ASSERT_TRUE(rig.PumpUntil([&] { return !download.Requested(); }));
        EXPECT_EQ(download.StepsWritten(), kDownloadStepCount);
        EXPECT_EQ(download.TakeEnd(), row.outcome);
        EXPECT_EQ(rig.prompts.Count("Err_Port_Vanished"), row.lost ? 1 : 0);
    }
}
