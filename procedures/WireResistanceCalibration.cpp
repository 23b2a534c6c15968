#include "procedures/WireResistanceCalibration.h"

#include "model/ConfigurationRules.h"
#include "model/NumberText.h"

namespace qt40 {

WireResistanceCalibration::WireResistanceCalibration(CommWorker& worker, Prompts& prompts,
                                                     ProcedureHost& host)
    : worker_(worker), prompts_(prompts), host_(host) {}

std::optional<std::string> WireResistanceCalibration::CalibratedText(double reading,
                                                                     double reference,
                                                                     double present) {
    const double value = reading - reference + present;
    const std::string text = FormatFixed(value, 6);
    // Checked as written, so that a value that rounds into the range passes.
    const double written = LeadingDecimal(text);
    if (!RuleOf(DeviceValue::WireResistance).Accepts(written)) return std::nullopt;
    return written == 0.0 ? FormatFixed(0.0, 6) : text;  // never "-0.000000"
}

CommResult WireResistanceCalibration::Read() {
    return host_.Submit(WorkerRequest::ReadWireResistance, true);
}

NumberEntry WireResistanceCalibration::WriteEntry(const std::string& initialText) {
    NumberEntry entry;
    entry.titleKey = "Set_WriteWireResist_Title";
    entry.promptKey = "Set_WriteWireResist";
    const ValueRule& rule = RuleOf(DeviceValue::WireResistance);
    entry.promptArgs = {rule.MinimumText(), rule.MaximumText(), std::string("Ohms")};
    entry.initialText = initialText;
    entry.minimum = rule.minimum;
    entry.maximum = rule.maximum;
    entry.zeroAllowed = rule.zeroAllowed;
    entry.staging = NumberEntry::Staging::EnteredText;
    return entry;
}

NumberEntry WireResistanceCalibration::ReferenceEntry(const std::string& initialText) {
    NumberEntry entry;
    entry.titleKey = "Set_CalibWireResist_Title";
    entry.promptKey = "Set_CalibWireResist";
    entry.promptArgs = {std::string("0"), std::string("4000"), std::string("Ohms")};
    entry.initialText = initialText;
    entry.minimum = 0.0;
    entry.maximum = 4000.0;
    entry.zeroAllowed = true;
    return entry;
}

bool WireResistanceCalibration::Write(const std::string& initialText) {
    const auto value = prompts_.EnterNumber(WriteEntry(initialText));
    if (!value) return false;
    worker_.WithSession(
        [&](DeviceState& s) { s.writes.leadWireResistanceText = value->enteredText; });
    return host_.Submit(WorkerRequest::WriteWireResistance, true) == kCommSuccess;
}

CommResult WireResistanceCalibration::Calibrate() {
    // The sensor's own calibration would distort the reading: sensor 1 goes
    // back to the factory calibration first.
    worker_.WithSession([](DeviceState& s) {
        s.writes.trimSensorNo = 1;
        s.writes.trimAction = 3;
        s.writes.unitCode = s.record.pvUnit;
        s.writes.trimValueText = "0.0";
    });
    computed_.reset();
    const CommResult sent = host_.Submit(WorkerRequest::CalibrateSensor, true);
    calibrating_ = sent == kCommSuccess;
    return sent;
}

ProcedureStep WireResistanceCalibration::AskReference() {
    const DeviceRecord r = worker_.RecordSnapshot();
    host_.BeforeQuestion();
    const auto reference =
        prompts_.EnterNumber(ReferenceEntry(FormatFixed(r.sensorResistanceReading, 6)));
    if (!reference) return ProcedureStep::Finished;
    computed_ = r.sensorResistanceReading - reference->value + r.leadWireResistance;
    const auto text =
        CalibratedText(r.sensorResistanceReading, reference->value, r.leadWireResistance);
    if (!text) {
        prompts_.Message("Err_WireResist_Calibrated", {FormatFixed(*computed_, 6)},
                         BoxType::OkWarning);
        return ProcedureStep::Finished;
    }
    worker_.WithSession([&](DeviceState& s) { s.writes.leadWireResistanceText = *text; });
    if (host_.Submit(WorkerRequest::WriteWireResistance, true) != kCommSuccess)
        return ProcedureStep::Finished;
    return ProcedureStep::Continues;
}

ProcedureStep WireResistanceCalibration::HandleNotification(const Notification& n) {
    if (n.kind != NotificationKind::Completion) return ProcedureStep::NotMine;
    switch (n.request) {
        case WorkerRequest::ReadWireResistance:
        case WorkerRequest::WriteWireResistance:
            calibrating_ = false;
            return StepOf(n.result);
        case WorkerRequest::CalibrateSensor:
        case WorkerRequest::ReadCalibrationReadings:
            break;
        default:
            return ProcedureStep::NotMine;
    }
    // The sensor calibration sends these two as well: ours only while we run.
    if (!calibrating_) return ProcedureStep::NotMine;
    if (n.result != kCommSuccess) {
        calibrating_ = false;
        return StepOf(n.result);
    }
    if (n.Completes(WorkerRequest::CalibrateSensor)) {
        host_.Wait(kSettleMs);
        worker_.WithSession([](DeviceState& s) { s.writes.trimSensorNo = 1; });
        if (host_.Submit(WorkerRequest::ReadCalibrationReadings, true) == kCommSuccess)
            return ProcedureStep::Continues;
        calibrating_ = false;
        return ProcedureStep::Finished;
    }
    const ProcedureStep step = AskReference();
    if (step != ProcedureStep::Continues) calibrating_ = false;
    return step;
}

}  // namespace qt40
