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

constexpr std::size_t kTagLength = 8;
constexpr std::size_t kDescriptorLength = 16;
constexpr std::size_t kMessageLength = 32;
constexpr long long kLargestU24 = 16777215;

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

    std::optional<std::string> Number(Field field) {
        auto raw = Raw(field);
        if (!raw) return std::nullopt;
        const std::string text = Trimmed(*raw);
        if (!IsDecimalText(text) || !FitsStagingField(text)) {
            return Fail(field, StagingResult::Status::Invalid);
        }
        return text;
    }

    std::optional<std::uint32_t> U24(Field field) {
        auto text = Number(field);
        if (!text) return std::nullopt;
        const long long value = LeadingInteger(*text);
        if (value < 0 || value > kLargestU24) return Fail(field, StagingResult::Status::Invalid);
        return static_cast<std::uint32_t>(value);
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
        {418, {F::Tag, F::Descriptor, F::Date}},
        {419, {F::Message}},
        {404, {F::SensorType, F::MeasurementType, F::SensorWires}},
        {406, {F::PvUnit}},
        {408, {F::PvUpperRange, F::PvLowerRange}},
        {410, {F::PvDamping}},
        {411, {F::PvDriftAlarm}},
        {412, {F::Burnout}},
        {414, {F::Transfer}},
        {415, {F::TermTempUnit}},
        {413, {F::CjcMode}},
        {442, {F::WireResistance}},
        {420, {F::SensorUpperRange, F::SensorLowerRange}},
        {426, {F::SensorSerialNo}},
        {427, {F::FinalAssemblyNo}},
        {429, {F::AoAlarmMode}},
        {431, {F::AoAlarmHigh, F::AoAlarmLow}},
        {430, {F::AoSaturationHigh, F::AoSaturationLow}},
    };
    return steps;
}

std::vector<Field> FieldsOfSteps(int count) {
    std::vector<Field> fields;
    const auto& steps = DownloadSteps();
    for (int i = 0; i < count && i < static_cast<int>(steps.size()); ++i) {
        const auto& step = steps[static_cast<std::size_t>(i)];
        fields.insert(fields.end(), step.fields.begin(), step.fields.end());
        if (step.request == 406) {
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
        case 418: {
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
        case 419:
            if (const auto message = s.DeviceText(F::Message, kMessageLength, true)) {
                w.message = *message;
            }
            break;
        case 404: {
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
        case 406:
            if (const auto unit = s.Code(F::PvUnit, EnumKind::Unit)) w.unitCode = *unit;
            break;
        case 408:
        case 420: {
            const bool pv = step.request == 408;
            const auto upper = s.Number(pv ? F::PvUpperRange : F::SensorUpperRange);
            const auto lower = s.Number(pv ? F::PvLowerRange : F::SensorLowerRange);
            const auto unit = s.Code(F::PvUnit, EnumKind::Unit);
            if (s.ok()) {
                (pv ? w.upperRangeText : w.sensorUpperRangeText) = *upper;
                (pv ? w.lowerRangeText : w.sensorLowerRangeText) = *lower;
                w.unitCode = *unit;
            }
            break;
        }
        case 410:
            if (const auto damping = s.Number(F::PvDamping)) w.dampingText = *damping;
            break;
        case 411: {
            const auto drift = s.Number(F::PvDriftAlarm);
            const auto unit = s.Code(F::PvUnit, EnumKind::Unit);
            if (s.ok()) {
                w.driftAlarmText = *drift;
                w.unitCode = *unit;
            }
            break;
        }
        case 412:
            if (const auto code = s.Code(F::Burnout, EnumKind::Burnout)) w.burnoutDetection = *code;
            break;
        case 414:
            if (const auto code = s.Code(F::Transfer, EnumKind::TransferFunction)) {
                w.transferFunction = *code;
            }
            break;
        case 415:
            if (const auto code = s.Code(F::TermTempUnit, EnumKind::TermTempUnit)) {
                w.termTempUnit = *code;
            }
            break;
        case 413:
            if (const auto code = s.Code(F::CjcMode, EnumKind::CjcMode)) w.cjcMode = *code;
            break;
        case 442:
            if (const auto text = s.Number(F::WireResistance)) w.leadWireResistanceText = *text;
            break;
        case 426:
            if (const auto number = s.U24(F::SensorSerialNo)) w.sensorSerialNo = *number;
            break;
        case 427:
            if (const auto number = s.U24(F::FinalAssemblyNo)) w.finalAssemblyNo = *number;
            break;
        case 429:
            if (const auto code = s.Code(F::AoAlarmMode, EnumKind::AoAlarmMode)) {
                w.aoAlarmMode = *code;
            }
            break;
        case 431:
        case 430: {
            const bool alarm = step.request == 431;
            const auto high = s.Number(alarm ? F::AoAlarmHigh : F::AoSaturationHigh);
            const auto low = s.Number(alarm ? F::AoAlarmLow : F::AoSaturationLow);
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
    lastRequest_ = 0;
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
    worker_.SubmitRequest(kRequestStartPolling, false);
}

void ConfigDownload::PostStep() {
    const DownloadStep& step = DownloadSteps()[static_cast<std::size_t>(step_)];
    const StagingResult staged = worker_.WithSession(
        [&](HartSession& s) { return StageDownloadStep(step, values_, s.writes); });
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
    switch (n.first) {
        case kNotifyFailure:
        case kNotifyProgress:
        case kNotifyWorkerEnded:
            return false;
        case kRequestIdentify:
            if (started_ || waitingForUpload_) {  // the identification after the chain
                // When it fails no upload follows, so the sequence ends here: a
                // line given up is a failure, never a later "finished".
                if (waitingForUpload_ && n.second == kCommExchangeFailed) {
                    failure_ = true;
                    End(Outcome::Failed);
                } else if (waitingForUpload_ && n.second != kCommSuccess) {
                    End(outcome_.value_or(Outcome::Finished));
                }
                return false;
            }
            if (n.second == kCommSuccess) {
                lastRequest_ = kRequestReadIdentity;
                worker_.SubmitRequest(kRequestReadIdentity, false);
                return true;
            }
            failure_ = n.second == kCommExchangeFailed;
            aborted_ = !failure_;
            End(failure_ ? Outcome::Failed : Outcome::Aborted);
            return false;
        case kRequestReadIdentity: {
            if (n.second == kCommExchangeFailed) {
                failure_ = true;
                End(Outcome::Failed);
                return false;
            }
            if (n.second != kCommSuccess) {
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
                connection_.HandleNotification({kRequestIdentify, kCommSuccess, 0.0f});
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
        case kRequestUpload:
        case kRequestStartPolling:
            if (!waitingForUpload_) return false;
            if (n.second == kCommExchangeFailed) {
                failure_ = true;
                End(Outcome::Failed);
            } else if (n.second != kCommSuccess || n.first == kRequestStartPolling) {
                // A rejected upload stops as an ordinary one does; the outcome stands.
                End(outcome_.value_or(Outcome::Finished));
            }
            return false;
        default:
            break;
    }
    if (!started_ || waitingForUpload_ ||
        n.first != DownloadSteps()[static_cast<std::size_t>(step_)].request) {
        return false;
    }
    if (n.second == kCommExchangeFailed) {
        failure_ = true;
        stoppedAt_ = step_;
        End(Outcome::Failed);
        return false;
    }
    if (n.second != kCommSuccess) {
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
    worker_.SubmitRequest(kRequestIdentify, false);
    return true;
}

}  // namespace qt40
