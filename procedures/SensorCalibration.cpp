#include "procedures/SensorCalibration.h"

#include "model/CglobalFile.h"
#include "model/NumberText.h"

namespace qt40 {

SensorCalibration::SensorCalibration(CommWorker& worker, Prompts& prompts, ProcedureHost& host)
    : worker_(worker), prompts_(prompts), host_(host) {}

void SensorCalibration::Open() {
    sensor_ = 1;
    worker_.WithSession([](DeviceState& s) { s.writes.trimSensorNo = 1; });
    worker_.SetCalibrationReadings(true);
}

void SensorCalibration::Close() {
    worker_.SetCalibrationReadings(false);
}

bool SensorCalibration::SelectSensor() {
    const EnumPair& sensors = CglobalFile::Pair(EnumKind::CalibSensor);
    Selection selection;
    selection.titleKey = "Set_SensorNum";
    selection.names = sensors.names;
    selection.codes = sensors.codes;
    selection.preselectCode = sensor_;
    if (auto name = CglobalFile::NameOf(EnumKind::CalibSensor, sensor_))
        selection.preselectName = *name;
    const auto chosen = prompts_.Select(selection);
    if (!chosen || (chosen->code != 1 && chosen->code != 2)) return false;
    sensor_ = chosen->code;
    worker_.WithSession(
        [&](DeviceState& s) { s.writes.trimSensorNo = static_cast<std::int16_t>(sensor_); });
    return host_.Submit(WorkerRequest::ReadCalibrationReadings, true) == kCommSuccess;
}

CommResult SensorCalibration::ReadCalibrationData() {
    const int sensor = sensor_;
    worker_.WithSession(
        [sensor](DeviceState& s) { s.writes.trimSensorNo = static_cast<std::int16_t>(sensor); });
    return host_.Submit(WorkerRequest::ReadSensorCalibration, true);
}

CommResult SensorCalibration::SendCalibration(Kind kind, const std::string& valueText) {
    const int sensor = sensor_;
    worker_.WithSession([&](DeviceState& s) {
        s.writes.trimSensorNo = static_cast<std::int16_t>(sensor);
        s.writes.trimAction = static_cast<std::int16_t>(kind);
        s.writes.unitCode = s.record.pvUnit;
        s.writes.trimValueText = valueText;
    });
    return host_.Submit(WorkerRequest::CalibrateSensor, true);
}

bool SensorCalibration::ClearCalibration() {
    if (prompts_.Message("Confr_Reset_SensorCal_Data", {}, BoxType::YesNoQuestion) != Answer::Yes) {
        return false;
    }
    const double reading = worker_.WithSession([](DeviceState& s) { return s.record.pvReading; });
    return SendCalibration(kClear, FormatFixed(reading, 6)) == kCommSuccess;
}

bool SensorCalibration::Calibrate(Kind kind, const std::string& initialText) {
    const DeviceRecord r = worker_.RecordSnapshot();
    const std::string unit =
        CglobalFile::NameOf(EnumKind::Unit, r.pvUnit).value_or(std::to_string(r.pvUnit));
    NumberEntry entry;
    entry.titleKey = kind == kSpan ? "Set_Calibration_Val_Span" : "Set_Calibration_Val_Zero";
    entry.promptKey = "Set_Calibration_val";
    entry.promptArgs = {FormatFixed(r.lowerSensorLimit, 6), FormatFixed(r.upperSensorLimit, 6),
                        unit};
    entry.initialText = initialText;
    entry.minimum = r.lowerSensorLimit;
    entry.maximum = r.upperSensorLimit;
    entry.staging = NumberEntry::Staging::EnteredText;
    const auto value = prompts_.EnterNumber(entry);
    if (!value) return false;
    return SendCalibration(kind, value->enteredText) == kCommSuccess;
}

ProcedureStep SensorCalibration::HandleNotification(const Notification& n) {
    if (!n.Completes(WorkerRequest::ReadSensorCalibration) &&
        !n.Completes(WorkerRequest::CalibrateSensor) &&
        !n.Completes(WorkerRequest::ReadCalibrationReadings)) {
        return ProcedureStep::NotMine;
    }
    return StepOf(n.result);
}

}  // namespace qt40
