#include "procedures/DiagnosticsProcedure.h"

namespace qt40 {

DiagnosticsProcedure::DiagnosticsProcedure(CommWorker& worker, Prompts& prompts,
                                           ProcedureHost& host)
    : worker_(worker), prompts_(prompts), host_(host) {}

bool DiagnosticsProcedure::MasterReset() {
    if (prompts_.Message("Confr_Reset_Device", {}, BoxType::YesNoQuestion) != Answer::Yes)
        return false;
    action_ = Action::MasterReset;
    return host_.Submit(WorkerRequest::MasterReset, false) == kCommSuccess;
}

bool DiagnosticsProcedure::SelfTest() {
    if (prompts_.Message("Confr_Execute_Diagnostics", {}, BoxType::YesNoQuestion) != Answer::Yes) {
        return false;
    }
    action_ = Action::SelfTest;
    return host_.Submit(WorkerRequest::SelfTest, false) == kCommSuccess;
}

CommResult DiagnosticsProcedure::ResetConfigFlag() {
    action_ = Action::ResetConfigFlag;
    return host_.Submit(WorkerRequest::ResetConfigFlag, true);
}

CommResult DiagnosticsProcedure::ReadAdditionalStatus() {
    action_ = Action::ReadStatus;
    return host_.Submit(WorkerRequest::ReadAdditionalStatus, true);
}

ProcedureStep DiagnosticsProcedure::Next(WorkerRequest code, bool polling) {
    if (host_.Submit(code, polling) == kCommSuccess) return ProcedureStep::Continues;
    if (progressShown_) host_.HideProgress();
    progressShown_ = false;
    return ProcedureStep::Finished;
}

ProcedureStep DiagnosticsProcedure::HandleNotification(const Notification& n) {
    if (n.kind != NotificationKind::Completion) return ProcedureStep::NotMine;
    switch (n.request) {
        case WorkerRequest::MasterReset:
        case WorkerRequest::SelfTest:
        case WorkerRequest::ResetConfigFlag:
        case WorkerRequest::ReadAdditionalStatus:
            break;
        case WorkerRequest::Upload:
        case WorkerRequest::StartPolling:
            // The re-upload is the reset's; a connection's own upload is not.
            if (action_ == Action::MasterReset && progressShown_) break;
            return ProcedureStep::NotMine;
        default:
            return ProcedureStep::NotMine;
    }
    if (n.result != kCommSuccess) {
        if (progressShown_) host_.HideProgress();
        progressShown_ = false;
        return StepOf(n.result);
    }
    switch (n.request) {
        case WorkerRequest::MasterReset:
            // The device has restarted: read everything again, then poll.
            worker_.SetSearching(false);
            host_.ShowProgress("Upload_Dev_Info");
            progressShown_ = true;
            return Next(WorkerRequest::Upload, false);
        case WorkerRequest::Upload:
            return Next(WorkerRequest::StartPolling, false);
        case WorkerRequest::StartPolling:
            host_.HideProgress();
            progressShown_ = false;
            return ProcedureStep::Finished;
        case WorkerRequest::SelfTest:
            worker_.SetSearching(false);
            return Next(WorkerRequest::ReadAdditionalStatus, true);
        default:
            return ProcedureStep::Finished;
    }
}

}  // namespace qt40
