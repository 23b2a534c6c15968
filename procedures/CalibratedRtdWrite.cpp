#include "procedures/CalibratedRtdWrite.h"

#include <algorithm>

#include "model/EntryRules.h"
#include "model/NumberText.h"

namespace qt40 {
namespace {

constexpr double kCoefficientLimit = 99999.0;
constexpr double kLowestLimit = -270.0;
constexpr double kHighestLimit = 1000.0;

NumberEntry CoefficientEntry(const char* name, const char* scaleNote, std::string initial) {
    NumberEntry entry;
    entry.titleKey = "Set_Coefficient_Val_Title";
    entry.promptKey = "Set_Coefficient_val";
    entry.promptArgs = {std::string(name), std::string(scaleNote)};
    entry.initialText = std::move(initial);
    entry.minimum = -kCoefficientLimit;
    entry.maximum = kCoefficientLimit;
    entry.rangeMessage = true;
    entry.zeroAllowed = true;
    return entry;
}

NumberEntry LimitEntry(const char* titleKey, const char* promptKey, int initial) {
    NumberEntry entry;
    entry.titleKey = titleKey;
    entry.promptKey = promptKey;
    entry.promptArgs = {std::string("-270"), std::string("1000"), std::string("degC")};
    entry.initialText = std::to_string(initial);
    entry.minimum = kLowestLimit;
    entry.maximum = kHighestLimit;
    entry.rangeMessage = true;
    entry.zeroAllowed = true;
    return entry;
}

// The entered text with its suffix, asked again while it would not fit.
std::optional<std::string> EnterCoefficient(NumberEntry entry, const std::string& suffix,
                                            Prompts& prompts) {
    for (;;) {
        const auto result = prompts.EnterNumber(entry);
        if (!result) return std::nullopt;
        if (FitsStagingField(result->enteredText, suffix)) return result->enteredText + suffix;
        const auto most = static_cast<long long>(kNumberTextCapacity - suffix.size());
        prompts.Message(kCoefficientTooLongKey, {entry.promptArgs.front(), most},
                        BoxType::OkWarning);
        entry.initialText = result->enteredText;
    }
}

std::int16_t LimitOf(const NumberResult& result) {
    return static_cast<std::int16_t>(
        std::clamp<long long>(LeadingInteger(result.enteredText), -270, 1000));
}

}  // namespace

std::optional<RtdCoefficientTexts> EnterRtdCoefficients(const DeviceRecord& r, Prompts& prompts) {
    RtdCoefficientTexts values;
    const auto a = EnterCoefficient(
        CoefficientEntry("A", "( X*e-003 )", FormatFixed(r.rtdCoefficientA * 1e3, 6)), "e-003",
        prompts);
    if (!a) return std::nullopt;
    const auto b = EnterCoefficient(
        CoefficientEntry("B", "( X*e-007 )", FormatFixed(r.rtdCoefficientB * 1e7, 6)), "e-007",
        prompts);
    if (!b) return std::nullopt;
    const auto c = EnterCoefficient(
        CoefficientEntry("C", "( X*e-012 )", FormatFixed(r.rtdCoefficientC * 1e12, 6)), "e-012",
        prompts);
    if (!c) return std::nullopt;
    const auto r0 = EnterCoefficient(
        CoefficientEntry("R0", "", FormatTruncated(r.rtdCoefficientR0)), "", prompts);
    if (!r0) return std::nullopt;
    const auto lower = prompts.EnterNumber(
        LimitEntry("Set_Sensor_Lower_Limit_Title", "Set_Sensor_Lower_Limit", r.rtdLowerLimit));
    if (!lower) return std::nullopt;
    const auto upper = prompts.EnterNumber(
        LimitEntry("Set_Sensor_Upper_Limit_Title", "Set_Sensor_Upper_Limit", r.rtdUpperLimit));
    if (!upper) return std::nullopt;
    values.a = *a;
    values.b = *b;
    values.c = *c;
    values.r0 = *r0;
    values.lower = LimitOf(*lower);
    values.upper = LimitOf(*upper);
    return values;
}

CalibratedRtdWrite::CalibratedRtdWrite(CommWorker& worker, Prompts& prompts,
                                       CalibratedRtdView& view, Clock& clock,
                                       TableTransfer& rtdTable)
    : worker_(worker), prompts_(prompts), view_(view), clock_(&clock), rtdTable_(rtdTable) {}

bool CalibratedRtdWrite::Start() {
    if (busy_) return false;
    const auto values = EnterRtdCoefficients(worker_.RecordSnapshot(), prompts_);
    if (!values) return false;
    return Write(*values);
}

bool CalibratedRtdWrite::Write(const RtdCoefficientTexts& values) {
    if (busy_) return false;
    // Staged only now, all six together: a cancelled entry leaves nothing behind.
    worker_.WithSession([&](DeviceState& s) {
        s.writes.rtdCoefficientAText = values.a;
        s.writes.rtdCoefficientBText = values.b;
        s.writes.rtdCoefficientCText = values.c;
        s.writes.rtdCoefficientR0Text = values.r0;
        s.writes.rtdLowerLimit = values.lower;
        s.writes.rtdUpperLimit = values.upper;
    });
    view_.EnableCalibratedWrite(false);
    if (view_.Submit(WorkerRequest::WriteCalibratedRtd, true) != kCommSuccess) {
        view_.EnableCalibratedWrite(true);
        view_.SequenceEnded();
        return false;
    }
    busy_ = true;
    return true;
}

bool CalibratedRtdWrite::HandleNotification(const Notification& n) {
    if (!n.Completes(WorkerRequest::WriteCalibratedRtd)) return false;
    if (!busy_) {
        view_.SequenceEnded();
        return true;
    }
    busy_ = false;
    if (n.result == kCommExchangeFailed) {
        view_.HideProgress();
        view_.ConnectionLost();
        return true;
    }
    if (n.result != kCommSuccess) {
        // Refused by the device: the button may be pressed again.
        view_.EnableCalibratedWrite(true);
        view_.SequenceEnded();
        return true;
    }
    view_.ShowProgress(kStoringTableKey);
    clock_->SleepMs(kCalibratedRtdStoreWaitMs);
    view_.HideProgress();
    // The header's completion shows it and enables the button again.
    rtdTable_.ReadHeaderBack();
    return true;
}

}  // namespace qt40
