#include "procedures/ReportReading.h"

#include "hart/ResponseCodes.h"

namespace qt40 {

ReportReading::ReportReading(CommWorker& worker, ProcedureHost& host)
    : worker_(worker), host_(host) {}

CommResult ReportReading::Start() {
    trims_.clear();
    statusMissing_.clear();
    const CommResult sent = host_.Submit(WorkerRequest::ReadAdditionalStatus, true);
    step_ = sent == kCommSuccess ? Step::Status : Step::Idle;
    return sent;
}

CommResult ReportReading::ReadTrim(int sensor) {
    sensor_ = sensor;
    worker_.WithSession(
        [sensor](DeviceState& s) { s.writes.trimSensorNo = static_cast<std::int16_t>(sensor); });
    const CommResult sent = host_.Submit(WorkerRequest::ReadSensorCalibration, true);
    step_ = sent == kCommSuccess ? Step::Trim : Step::Idle;
    return sent;
}

std::string ReportReading::RefusalText(int command) {
    const int code = worker_.WithSession([](DeviceState& s) { return int{s.link.responseCode}; });
    const std::string text =
        ResponseCodeText(static_cast<std::uint8_t>(command), static_cast<std::uint8_t>(code));
    if (text.rfind("response code", 0) == 0) return "refused (" + text + ")";
    return "refused (response code " + std::to_string(code) + ": " + text + ")";
}

ProcedureStep ReportReading::HandleNotification(const Notification& n) {
    const bool mine = (step_ == Step::Status && n.Completes(WorkerRequest::ReadAdditionalStatus)) ||
                      (step_ == Step::Trim && n.Completes(WorkerRequest::ReadSensorCalibration));
    if (!mine) return ProcedureStep::NotMine;
    const ProcedureStep outcome = StepOf(n.result);
    if (outcome == ProcedureStep::ConnectionLost) {
        step_ = Step::Idle;
        return outcome;
    }
    if (outcome == ProcedureStep::Refused) {
        // One refused read leaves its own rows empty, not those after it.
        if (step_ == Step::Status) {
            statusMissing_ = RefusalText(48);
        } else {
            SensorTrimReading missing;
            missing.sensor = sensor_;
            missing.missing = RefusalText(152);
            trims_.push_back(std::move(missing));
        }
    } else if (step_ == Step::Trim) {
        trims_.push_back(worker_.WithSession([](DeviceState& s) {
            const DeviceRecord& r = s.record;
            SensorTrimReading read;
            read.sensor = r.trimSensorNo;
            read.unit = r.sensorUnit;
            read.zeroPoint = r.trimZeroPoint;
            read.zeroValue = r.trimZeroValue;
            read.gain = r.trimSpanGain;
            return read;
        }));
    }
    const bool twoSensors =
        worker_.WithSession([](DeviceState& s) { return s.record.measurementType != 0; });
    if (step_ == Step::Status || (sensor_ == 1 && twoSensors)) {
        const int next = step_ == Step::Status ? 1 : 2;
        if (ReadTrim(next) == kCommSuccess) return ProcedureStep::Continues;
        return ProcedureStep::ConnectionLost;
    }
    step_ = Step::Idle;
    return ProcedureStep::Finished;
}

ReportInput ReportInputFrom(CommWorker& worker, const ReportReading& reading) {
    ReportInput input = ReportInputFrom(worker, reading.Trims());
    input.statusMissing = reading.StatusMissing();
    return input;
}

ReportInput ReportInputFrom(CommWorker& worker, const std::vector<SensorTrimReading>& trims) {
    ReportInput input;
    worker.WithSession([&](DeviceState& s) {
        input.record = s.record;
        input.answered = s.answered;
    });
    input.trims = trims;
    return input;
}

}  // namespace qt40
