#include "records/ReportReading.h"

namespace qt40 {

ReportReading::ReportReading(CommWorker& worker, ProcedureHost& host)
    : worker_(worker), host_(host) {}

CommResult ReportReading::Start() {
    trims_.clear();
    const CommResult sent = host_.Submit(kReadStatus, true);
    step_ = sent == kCommSuccess ? Step::Status : Step::Idle;
    return sent;
}

CommResult ReportReading::ReadTrim(int sensor) {
    sensor_ = sensor;
    worker_.WithSession(
        [sensor](HartSession& s) { s.writes.trimSensorNo = static_cast<std::int16_t>(sensor); });
    const CommResult sent = host_.Submit(kReadTrim, true);
    step_ = sent == kCommSuccess ? Step::Trim : Step::Idle;
    return sent;
}

ProcedureStep ReportReading::HandleNotification(const Notification& n) {
    const bool mine = (step_ == Step::Status && n.first == kReadStatus) ||
                      (step_ == Step::Trim && n.first == kReadTrim);
    if (!mine) return ProcedureStep::NotMine;
    if (n.second != kCommSuccess) {
        step_ = Step::Idle;
        return StepOf(n.second);
    }
    if (step_ == Step::Trim) {
        trims_.push_back(worker_.WithSession([](HartSession& s) {
            const DeviceRecord& r = s.record;
            return SensorTrimReading{r.trimSensorNo, r.sensorUnit, r.trimZeroPoint,
                                     r.trimZeroValue, r.trimSpanGain};
        }));
    }
    const bool twoSensors =
        worker_.WithSession([](HartSession& s) { return s.record.measurementType != 0; });
    if (step_ == Step::Status || (sensor_ == 1 && twoSensors)) {
        const int next = step_ == Step::Status ? 1 : 2;
        if (ReadTrim(next) == kCommSuccess) return ProcedureStep::Continues;
        return ProcedureStep::ConnectionLost;
    }
    step_ = Step::Idle;
    return ProcedureStep::Finished;
}

ReportInput ReportInputFrom(CommWorker& worker, const std::vector<SensorTrimReading>& trims) {
    ReportInput input;
    worker.WithSession([&](HartSession& s) {
        input.record = s.record;
        input.answered = s.answered;
    });
    input.trims = trims;
    return input;
}

}  // namespace qt40
