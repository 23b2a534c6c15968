#include "procedures/DacTrimProcedure.h"

#include "model/ConfigurationRules.h"
#include "model/NumberText.h"

namespace qt40 {

DacTrimProcedure::DacTrimProcedure(CommWorker& worker, Prompts& prompts, ProcedureHost& host)
    : worker_(worker),
      prompts_(prompts),
      host_(host),
      release_(worker, host, WorkerRequest::LeaveFixedLevel) {}

CommResult DacTrimProcedure::SendFixedCurrent(WorkerRequest code, const std::string& level) {
    worker_.WithSession([&](DeviceState& s) { s.writes.fixedCurrentText = level; });
    return host_.Submit(code, true);
}

CommResult DacTrimProcedure::EnterTrimMode(Point point) {
    worker_.WithSession(
        [point](DeviceState& s) { s.writes.dacTrimPoint = static_cast<std::int16_t>(point); });
    return SendFixedCurrent(WorkerRequest::TrimFixAtPoint, point == kUpper ? "20.0" : "4.0");
}

NumberEntry DacTrimProcedure::MeasuredEntry(Point point) {
    const bool upper = point == kUpper;
    NumberEntry entry;
    entry.titleKey = "Set_Calibration_Val_Trim";
    entry.promptKey = "Set_Calibration_val";
    const ValueRule& rule = RuleOf(upper ? DeviceValue::DacTrimHigh : DeviceValue::DacTrimLow);
    entry.promptArgs = {rule.MinimumText(), rule.MaximumText(), std::string("mA")};
    entry.initialText = upper ? "20.000" : "4.000";
    entry.minimum = rule.minimum;
    entry.maximum = rule.maximum;
    entry.staging = NumberEntry::Staging::EnteredText;
    return entry;
}

bool DacTrimProcedure::TrimByMeasuredValue() {
    if (trimMode_ == kNoPoint) {
        prompts_.Message("Err_Trim_Mode_Not_Set", {}, BoxType::OkInformation);
        return false;
    }
    const NumberEntry entry = MeasuredEntry(static_cast<Point>(trimMode_));
    const auto measured = prompts_.EnterNumber(entry);
    if (!measured) return false;
    const int mode = trimMode_;
    worker_.WithSession([&](DeviceState& s) {
        s.writes.dacTrimPoint = static_cast<std::int16_t>(mode);
        s.writes.dacTrimText = measured->enteredText;
    });
    return host_.Submit(WorkerRequest::TrimDac, true) == kCommSuccess;
}

bool DacTrimProcedure::ClearTrimData() {
    if (prompts_.Message("Confr_DAC_Init_Data", {}, BoxType::YesNoQuestion) != Answer::Yes) {
        return false;
    }
    return host_.Submit(WorkerRequest::ClearDacTrim, true) == kCommSuccess;
}

CommResult DacTrimProcedure::Close() {
    const CommResult sent = release_.Start();
    if (sent == kCommSuccess) host_.Wait(kCloseWaitMs);
    return sent;
}

ProcedureStep DacTrimProcedure::HandleNotification(const Notification& n) {
    if (release_.Sending()) {
        const ProcedureStep step = release_.HandleNotification(n);
        if (step != ProcedureStep::NotMine) return step;
    }
    if (n.kind == NotificationKind::Failure) {
        switch (n.request) {
            case WorkerRequest::TrimFixAtPoint:
            case WorkerRequest::TrimDac:
            case WorkerRequest::ClearDacTrim:
            case WorkerRequest::TrimFixAfterClear:
            case WorkerRequest::LeaveFixedLevel:
                // Its completion (209) ends the step; the caller then closes.
                GiveUpExchange(worker_);
                return ProcedureStep::Continues;
            default:
                return ProcedureStep::NotMine;
        }
    }
    if (n.kind != NotificationKind::Completion) return ProcedureStep::NotMine;
    switch (n.request) {
        case WorkerRequest::TrimFixAtPoint:
        case WorkerRequest::TrimDac:
        case WorkerRequest::ClearDacTrim:
        case WorkerRequest::TrimFixAfterClear:
        case WorkerRequest::LeaveFixedLevel:
            break;
        default:
            return ProcedureStep::NotMine;
    }
    if (n.result != kCommSuccess) return StepOf(n.result);
    switch (n.request) {
        case WorkerRequest::TrimFixAtPoint:
            trimMode_ =
                worker_.WithSession([](DeviceState& s) { return int{s.writes.dacTrimPoint}; });
            break;
        case WorkerRequest::ClearDacTrim: {
            // The output goes back to the loop current, fixed, until a new trim point.
            const std::string level = worker_.WithSession(
                [](DeviceState& s) { return FormatFixed(s.record.loopCurrent, 3, 4); });
            if (SendFixedCurrent(WorkerRequest::TrimFixAfterClear, level) == kCommSuccess)
                return ProcedureStep::Continues;
            break;
        }
        case WorkerRequest::TrimFixAfterClear:
            trimMode_ = kNoPoint;
            break;
        case WorkerRequest::TrimDac:
            lastTrimmed_ =
                worker_.WithSession([](DeviceState& s) { return int{s.writes.dacTrimPoint}; });
            break;
        default:
            break;
    }
    return ProcedureStep::Finished;
}

}  // namespace qt40
