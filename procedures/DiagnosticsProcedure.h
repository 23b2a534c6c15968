#pragma once
// The device's maintenance commands: a master reset followed by the re-upload
// of the whole configuration, the reset of the configuration-changed flag,
// the self test followed by a read of the additional status, and that read
// on its own.

#include "link/CommWorker.h"
#include "procedures/ProcedureHost.h"
#include "base/Prompts.h"

namespace qt40 {

class DiagnosticsProcedure {
public:
    enum class Action { None, MasterReset, ResetConfigFlag, SelfTest, ReadStatus };

    DiagnosticsProcedure(CommWorker& worker, Prompts& prompts, ProcedureHost& host);

    // Ask first ("Confr_Reset_Device", "Confr_Execute_Diagnostics"); false on No.
    bool MasterReset();
    bool SelfTest();
    CommResult ResetConfigFlag();
    CommResult ReadAdditionalStatus();

    // The action a Finished, Refused or ConnectionLost step belongs to.
    Action Running() const { return action_; }
    // A finished self test or status read: the additional status is to be shown.
    bool ShowsStatus() const {
        return action_ == Action::SelfTest || action_ == Action::ReadStatus;
    }

    ProcedureStep HandleNotification(const Notification& n);

private:
    ProcedureStep Next(WorkerRequest code, bool polling);

    CommWorker& worker_;
    Prompts& prompts_;
    ProcedureHost& host_;
    Action action_ = Action::None;
    bool progressShown_ = false;
};

}  // namespace qt40
