#include "procedures/DiagnosticsProcedure.h"

namespace qt40 {

DiagnosticsProcedure::DiagnosticsProcedure(CommWorker& worker, Prompts& prompts,
                                           ProcedureHost& host)
    : worker_(worker), prompts_(prompts), host_(host) {}

bool DiagnosticsProcedure::MasterReset() {
    if (prompts_.Message("Confr_Reset_Device", {}, BoxType::YesNoQuestion) != Answer::Yes)
        return false;
    action_ = Action::MasterReset;
    return host_.Submit(kMasterReset, false) == kCommSuccess;
}

bool DiagnosticsProcedure::SelfTest() {
    if (prompts_.Message("Confr_Execute_Diagnostics", {}, BoxType::YesNoQuestion) != Answer::Yes) {
        return false;
    }
    action_ = Action::SelfTest;
    return host_.Submit(kSelfTest, false) == kCommSuccess;
}

CommResult DiagnosticsProcedure::ResetConfigFlag() {
    action_ = Action::ResetConfigFlag;
    return host_.Submit(kResetConfigFlag, true);
}

CommResult DiagnosticsProcedure::ReadAdditionalStatus() {
    action_ = Action::ReadStatus;
    return host_.Submit(kReadAdditionalStatus, true);
}

ProcedureStep DiagnosticsProcedure::Next(int code, bool polling) {
    if (host_.Submit(code, polling) == kCommSuccess) return ProcedureStep::Continues;
    if (progressShown_) host_.HideProgress();
    progressShown_ = false;
    return ProcedureStep::Finished;
}

ProcedureStep DiagnosticsProcedure::HandleNotification(const Notification& n) {
    switch (n.first) {
        case kMasterReset:
        case kSelfTest:
        case kResetConfigFlag:
        case kReadAdditionalStatus:
            break;
        case kUpload:
        case kStartPolling:
            // The re-upload is the reset's; a connection's own upload is not.
            if (action_ == Action::MasterReset && progressShown_) break;
            return ProcedureStep::NotMine;
        default:
            return ProcedureStep::NotMine;
    }
    if (n.second != kCommSuccess) {
        if (progressShown_) host_.HideProgress();
        progressShown_ = false;
        return StepOf(n.second);
    }
    switch (n.first) {
        case kMasterReset:
            // The device has restarted: read everything again, then poll.
            worker_.SetSearching(false);
            host_.ShowProgress("Upload_Dev_Info");
            progressShown_ = true;
            return Next(kUpload, false);
        case kUpload:
            return Next(kStartPolling, false);
        case kStartPolling:
            host_.HideProgress();
            progressShown_ = false;
            return ProcedureStep::Finished;
        case kSelfTest:
            worker_.SetSearching(false);
            return Next(kReadAdditionalStatus, true);
        default:
            return ProcedureStep::Finished;
    }
}

}  // namespace qt40
