#include "procedures/ConfigDownload.h"

#include "hart/DeviceNameTable.h"
#include "link/RequestTable.h"
#include "model/CglobalFile.h"
#include "model/ConfigurationRules.h"
#include "model/EntryRules.h"
#include "model/NumberText.h"

namespace qt40 {
namespace {

using F = Field;
using W = WorkerRequest;

constexpr std::size_t kTagLength = 8;
constexpr std::size_t kDescriptorLength = 16;
constexpr std::size_t kMessageLength = 32;

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::string RightTrimmed(const std::string& text) {
    const auto last = text.find_last_not_of(" \t");
    return last == std::string::npos ? std::string() : text.substr(0, last + 1);
}

// Checks and converts the values of one step; the first failure is kept.
class Stager {
public:
    explicit Stager(const FileConfig& values) : values_(values) {}

    bool ok() const { return result_.ok(); }
    StagingResult Result() const { return result_; }

    // The raw text, or nothing when it is empty.
    std::optional<std::string> Raw(Field field) {
        if (!ok()) return std::nullopt;
        const std::string& text = FieldValue(values_, field);
        if (text.empty()) return Fail(field, StagingResult::Status::Empty);
        return text;
    }

    std::optional<std::string> DeviceText(Field field, std::size_t length, bool trimStart) {
        auto raw = Raw(field);
        if (!raw) return std::nullopt;
        const std::string text = trimStart ? Trimmed(*raw) : RightTrimmed(*raw);
        if (const auto unstorable = FirstUnstorableCharacter(text)) {
            // Sent, it would come back as another character.
            result_.character = *unstorable;
            return Fail(field, StagingResult::Status::Invalid);
        }
        if (CharacterCount(text) > length) return Fail(field, StagingResult::Status::Invalid);
        return PrepareDeviceText(text, length);
    }

    std::optional<std::string> Date() {
        auto raw = Raw(F::Date);
        if (!raw) return std::nullopt;
        const std::string text = Trimmed(*raw);
        if (!IsValidDate(text)) return Fail(F::Date, StagingResult::Status::Invalid);
        return text;
    }

    std::optional<std::int16_t> Code(Field field, EnumKind kind) {
        auto raw = Raw(field);
        if (!raw) return std::nullopt;
        const auto& pair = CglobalFile::Pair(kind);
        const int position = CglobalFile::FindByName(pair.names, *raw);
        const auto code = CglobalFile::CodeAt(kind, position);
        if (!code) return Fail(field, StagingResult::Status::Invalid);
        return code;
    }

    // A number within the limits the panel and the comparison pages hold it to.
    std::optional<std::string> Number(Field field, DeviceValue value) {
        auto raw = Raw(field);
        if (!raw) return std::nullopt;
        const std::string text = Trimmed(*raw);
        if (!IsDecimalText(text) || !FitsStagingField(text) ||
            !RuleOf(value).Accepts(LeadingDecimal(text))) {
            return Fail(field, StagingResult::Status::Invalid);
        }
        return text;
    }

    std::optional<std::uint32_t> U24(Field field, DeviceValue value) {
        auto text = Number(field, value);
        if (!text) return std::nullopt;
        return static_cast<std::uint32_t>(LeadingInteger(*text));  // the rule held it in range
    }

private:
    std::nullopt_t Fail(Field field, StagingResult::Status status) {
        if (result_.ok()) {
            result_.status = status;
            result_.field = field;
        }
        return std::nullopt;
    }

    const FileConfig& values_;
    StagingResult result_;
};

}  // namespace

const std::vector<DownloadStep>& DownloadSteps() {
    static const std::vector<DownloadStep> steps{
        {W::WriteTagDescriptorDate, {F::Tag, F::Descriptor, F::Date}},
        {W::WriteMessage, {F::Message}},
        {W::WriteSensorConfig, {F::SensorType, F::MeasurementType, F::SensorWires}},
        {W::WritePvUnit, {F::PvUnit}},
        {W::WritePvRange, {F::PvUpperRange, F::PvLowerRange}},
        {W::WriteDamping, {F::PvDamping}},
        {W::WriteDriftAlarm, {F::PvDriftAlarm}},
        {W::WriteBurnout, {F::Burnout}},
        {W::WriteTransfer, {F::Transfer}},
        {W::WriteTermTempUnit, {F::TermTempUnit}},
        {W::WriteCjcMode, {F::CjcMode}},
        {W::WriteWireResistance, {F::WireResistance}},
        {W::WriteSensorRange, {F::SensorUpperRange, F::SensorLowerRange}},
        {W::WriteSerialNo, {F::SensorSerialNo}},
        {W::WriteFinalAssemblyNo, {F::FinalAssemblyNo}},
        {W::WriteAlarmMode, {F::AoAlarmMode}},
        {W::WriteAlarmValues, {F::AoAlarmHigh, F::AoAlarmLow}},
        {W::WriteSaturation, {F::AoSaturationHigh, F::AoSaturationLow}},
    };
    return steps;
}

std::vector<Field> FieldsOfSteps(int count) {
    std::vector<Field> fields;
    const auto& steps = DownloadSteps();
    for (int i = 0; i < count && i < static_cast<int>(steps.size()); ++i) {
        const auto& step = steps[static_cast<std::size_t>(i)];
        fields.insert(fields.end(), step.fields.begin(), step.fields.end());
        if (step.request == W::WritePvUnit) {
            // The unit captions show the PV unit the device took.
            fields.insert(fields.end(), {F::UpperRangeUnit, F::LowerRangeUnit, F::DriftAlarmUnit});
        }
    }
    return fields;
}

StagingResult StageDownloadStep(const DownloadStep& step, const FileConfig& values,
                                WriteBuffer& writes) {
    Stager s(values);
    WriteBuffer w = writes;
    switch (step.request) {
        case W::WriteTagDescriptorDate: {
            const auto tag = s.DeviceText(F::Tag, kTagLength, true);
            const auto descriptor = s.DeviceText(F::Descriptor, kDescriptorLength, false);
            const auto date = s.Date();
            if (s.ok()) {
                w.tag = *tag;
                w.descriptor = *descriptor;
                w.date = *date;
            }
            break;
        }
        case W::WriteMessage:
            if (const auto message = s.DeviceText(F::Message, kMessageLength, true)) {
                w.message = *message;
            }
            break;
        case W::WriteSensorConfig: {
            const auto type = s.Code(F::SensorType, EnumKind::SensorType);
            const auto measurement = s.Code(F::MeasurementType, EnumKind::MeasurementType);
            const auto wires = s.Code(F::SensorWires, EnumKind::Wires);
            if (s.ok()) {
                w.sensorType = *type;
                w.measurementType = *measurement;
                w.sensorWires = *wires;
            }
            break;
        }
        case W::WritePvUnit:
            if (const auto unit = s.Code(F::PvUnit, EnumKind::Unit)) w.unitCode = *unit;
            break;
        case W::WritePvRange:
        case W::WriteSensorRange: {
            const bool pv = step.request == W::WritePvRange;
            const DeviceValue range = pv ? DeviceValue::PvRange : DeviceValue::SensorRange;
            const auto upper = s.Number(pv ? F::PvUpperRange : F::SensorUpperRange, range);
            const auto lower = s.Number(pv ? F::PvLowerRange : F::SensorLowerRange, range);
            const auto unit = s.Code(F::PvUnit, EnumKind::Unit);
            if (s.ok()) {
                (pv ? w.upperRangeText : w.sensorUpperRangeText) = *upper;
                (pv ? w.lowerRangeText : w.sensorLowerRangeText) = *lower;
                w.unitCode = *unit;
            }
            break;
        }
        case W::WriteDamping:
            if (const auto damping = s.Number(F::PvDamping, DeviceValue::Damping)) {
                w.dampingText = *damping;
            }
            break;
        case W::WriteDriftAlarm: {
            const auto drift = s.Number(F::PvDriftAlarm, DeviceValue::DriftAlarm);
            const auto unit = s.Code(F::PvUnit, EnumKind::Unit);
            if (s.ok()) {
                w.driftAlarmText = *drift;
                w.unitCode = *unit;
            }
            break;
        }
        case W::WriteBurnout:
            if (const auto code = s.Code(F::Burnout, EnumKind::Burnout)) w.burnoutDetection = *code;
            break;
        case W::WriteTransfer:
            if (const auto code = s.Code(F::Transfer, EnumKind::TransferFunction)) {
                w.transferFunction = *code;
            }
            break;
        case W::WriteTermTempUnit:
            if (const auto code = s.Code(F::TermTempUnit, EnumKind::TermTempUnit)) {
                w.termTempUnit = *code;
            }
            break;
        case W::WriteCjcMode:
            if (const auto code = s.Code(F::CjcMode, EnumKind::CjcMode)) w.cjcMode = *code;
            break;
        case W::WriteWireResistance:
            if (const auto text = s.Number(F::WireResistance, DeviceValue::WireResistance)) {
                w.leadWireResistanceText = *text;
            }
            break;
        case W::WriteSerialNo:
            if (const auto number = s.U24(F::SensorSerialNo, DeviceValue::SensorSerialNo)) {
                w.sensorSerialNo = *number;
            }
            break;
        case W::WriteFinalAssemblyNo:
            if (const auto number = s.U24(F::FinalAssemblyNo, DeviceValue::FinalAssemblyNo)) {
                w.finalAssemblyNo = *number;
            }
            break;
        case W::WriteAlarmMode:
            if (const auto code = s.Code(F::AoAlarmMode, EnumKind::AoAlarmMode)) {
                w.aoAlarmMode = *code;
            }
            break;
        case W::WriteAlarmValues:
        case W::WriteSaturation: {
            const bool alarm = step.request == W::WriteAlarmValues;
            const auto high = alarm ? s.Number(F::AoAlarmHigh, DeviceValue::AoAlarmHigh)
                                    : s.Number(F::AoSaturationHigh, DeviceValue::AoSaturationHigh);
            const auto low = alarm ? s.Number(F::AoAlarmLow, DeviceValue::AoAlarmLow)
                                   : s.Number(F::AoSaturationLow, DeviceValue::AoSaturationLow);
            if (s.ok()) {
                (alarm ? w.aoAlarmHighText : w.aoSaturationHighText) = *high;
                (alarm ? w.aoAlarmLowText : w.aoSaturationLowText) = *low;
            }
            break;
        }
        default:
            break;
    }
    if (s.ok()) writes = std::move(w);
    return s.Result();
}

ConfigDownload::ConfigDownload(CommWorker& worker, ConnectionController& connection,
                               Prompts& prompts)
    : worker_(worker), connection_(connection), prompts_(prompts) {}

std::string ConfigDownload::NameOf(Field field) const {
    return names_ ? names_(field) : std::string(FieldCaption(field));
}

void ConfigDownload::Request(const FileConfig& values) {
    values_ = values;
    requested_ = true;
    started_ = finished_ = failure_ = aborted_ = waitingForUpload_ = false;
    lastRequest_ = WorkerRequest::IdlePoll;
    step_ = written_ = 0;
    stoppedAt_.reset();
    stoppedField_.reset();
    stoppedCharacter_.clear();
    outcome_.reset();
    pendingEnd_.reset();
}

void ConfigDownload::Cancel() {
    requested_ = false;
    waitingForUpload_ = false;
}

std::optional<ConfigDownload::Outcome> ConfigDownload::TakeEnd() {
    auto end = pendingEnd_;
    pendingEnd_.reset();
    return end;
}

void ConfigDownload::End(Outcome outcome) {
    outcome_ = outcome;
    pendingEnd_ = outcome;
    requested_ = false;
    waitingForUpload_ = false;
    worker_.SetStepTotal(0);
}

void ConfigDownload::Stop(Outcome outcome) {
    // The chain ends here, but the worker goes back to polling, so the
    // connection stays usable; that completion ends the sequence.
    outcome_ = outcome;
    waitingForUpload_ = true;
    worker_.SetStepTotal(0);
    worker_.SubmitRequest(WorkerRequest::StartPolling, false);
}

void ConfigDownload::PostStep() {
    const DownloadStep& step = DownloadSteps()[static_cast<std::size_t>(step_)];
    const StagingResult staged = worker_.WithSession(
        [&](DeviceState& s) { return StageDownloadStep(step, values_, s.writes); });
    if (!staged.ok()) {
        // Ending silently here would let the user believe the whole
        // configuration went in.
        stoppedAt_ = step_;
        stoppedField_ = staged.field;
        stoppedCharacter_ = staged.character;
        if (staged.status == StagingResult::Status::Empty) {
            prompts_.Message("Err_Download_Empty_Value", {NameOf(staged.field)},
                             BoxType::OkWarning);
        } else if (!staged.character.empty()) {
            prompts_.Message("Err_Download_Invalid_Char",
                             {NameOf(staged.field), FieldValue(values_, staged.field),
                              staged.character},
                             BoxType::OkWarning);
        } else {
            prompts_.Message("Err_Download_Invalid_Value",
                             {NameOf(staged.field), FieldValue(values_, staged.field)},
                             BoxType::OkWarning);
        }
        Stop(Outcome::Stopped);
        return;
    }
    lastRequest_ = step.request;
    if (onStep_) onStep_(step_ + 1, step);
    worker_.SubmitRequest(step.request, false);
}

bool ConfigDownload::HandleNotification(const Notification& n) {
    if (!requested_) return false;
    if (n.kind != NotificationKind::Completion) return false;
    switch (n.request) {
        case WorkerRequest::Identify:
            if (started_ || waitingForUpload_) {  // the identification after the chain
                // When it fails no upload follows, so the sequence ends here: a
                // line given up is a failure, never a later "finished".
                if (waitingForUpload_ && n.result == kCommExchangeFailed) {
                    failure_ = true;
                    End(Outcome::Failed);
                } else if (waitingForUpload_ && n.result != kCommSuccess) {
                    End(outcome_.value_or(Outcome::Finished));
                }
                return false;
            }
            if (n.result == kCommSuccess) {
                lastRequest_ = WorkerRequest::ReadIdentity;
                worker_.SubmitRequest(WorkerRequest::ReadIdentity, false);
                return true;
            }
            failure_ = n.result == kCommExchangeFailed;
            aborted_ = !failure_;
            End(failure_ ? Outcome::Failed : Outcome::Aborted);
            return false;
        case WorkerRequest::ReadIdentity: {
            if (n.result == kCommExchangeFailed) {
                failure_ = true;
                End(Outcome::Failed);
                return false;
            }
            if (n.result != kCommSuccess) {
                aborted_ = true;
                Stop(Outcome::Aborted);
                return true;
            }
            const std::string model = worker_.RecordSnapshot().deviceTypeName;
            if (model != kQT40ModelName) {
                prompts_.Message("Err_Device_Not_Configurable", {model}, BoxType::OkInformation);
                // Nothing is written; the connection goes on as an ordinary one.
                outcome_ = Outcome::Refused;
                waitingForUpload_ = true;
                connection_.HandleNotification(
                    Notification::Completed(WorkerRequest::Identify, kCommSuccess));
                return true;
            }
            started_ = true;
            connection_.ShowProgress(ProgressKind::Upload, "Download_Dev_Info");
            worker_.SetStepTotal(kDownloadStepCount);
            worker_.SetStepCounter(0);
            step_ = 0;
            PostStep();
            return true;
        }
        case WorkerRequest::Upload:
        case WorkerRequest::StartPolling:
            if (!waitingForUpload_) return false;
            if (n.result == kCommExchangeFailed) {
                failure_ = true;
                End(Outcome::Failed);
            } else if (n.result != kCommSuccess || n.Completes(WorkerRequest::StartPolling)) {
                // A rejected upload stops as an ordinary one does; the outcome stands.
                End(outcome_.value_or(Outcome::Finished));
            }
            return false;
        default:
            break;
    }
    if (!started_ || waitingForUpload_ ||
        n.request != DownloadSteps()[static_cast<std::size_t>(step_)].request) {
        return false;
    }
    if (n.result == kCommExchangeFailed) {
        failure_ = true;
        stoppedAt_ = step_;
        End(Outcome::Failed);
        return false;
    }
    if (n.result != kCommSuccess) {
        aborted_ = true;
        stoppedAt_ = step_;
        Stop(Outcome::Aborted);
        return true;
    }
    ++written_;
    if (++step_ < kDownloadStepCount) {
        PostStep();
        return true;
    }
    finished_ = true;
    outcome_ = Outcome::Finished;
    waitingForUpload_ = true;
    worker_.SetStepTotal(0);
    worker_.SubmitRequest(WorkerRequest::Identify, false);
    return true;
}

}  // namespace qt40
