#include "cli/ArgumentPrompts.h"

#include <fmt/format.h>

#include "model/EntryRules.h"
#include "model/NumberText.h"

namespace qt40::cli {

NumberVerdict ArgumentPrompts::Check(const NumberEntry& entry, const std::string& text) {
    // "nan", "0x10" or "1e3" would pass a number parser but are no entry.
    if (!IsDecimalText(text)) {
        NumberVerdict refused;
        refused.errorKey = entry.rangeMessage ? "Err_Range_Input" : "Err_Calibration_Value_Invalid";
        return refused;
    }
    if (entry.staging == NumberEntry::Staging::None) return CheckNumberEntry(entry, text);
    return CheckNumberForStaging(entry, text,
                                 entry.staging == NumberEntry::Staging::EnteredText
                                     ? StagedForm::Entered
                                     : StagedForm::Formatted,
                                 entry.stagingSuffix);
}

std::optional<std::string> ArgumentPrompts::RefusalOf(const std::string& option,
                                                      const std::string& text,
                                                      const NumberEntry& entry,
                                                      const std::string& unit) {
    if (Check(entry, text).result) return std::nullopt;
    if (const auto dotted = CommaDecimalAsDot(text)) {
        return fmt::format("{} {}: the decimal point is a dot ({})", option, text, *dotted);
    }
    if (!IsDecimalText(text)) {
        return fmt::format("{} {} is not a decimal number (digits, one '.', a leading '-')",
                           option, text);
    }
    if (!InEntryRange(LeadingDecimal(text), entry.minimum, entry.maximum, entry.zeroAllowed)) {
        return fmt::format("{} {} is outside {} to {}{}", option, text,
                           FormatGeneral(entry.minimum), FormatGeneral(entry.maximum),
                           unit.empty() ? std::string() : " " + unit);
    }
    return fmt::format("{} {} has more characters than the device stores", option, text);
}

Answer ArgumentPrompts::Message(const std::string& key, const MessageArgs& args, BoxType type) {
    // Running the command was the Yes.
    if (key.rfind("Confr_", 0) == 0) return Answer::Yes;
    notes_.push_back({key, args});
    switch (type) {
        case BoxType::YesNoQuestion:
            return Answer::No;
        case BoxType::RetryCancelWarning:
        case BoxType::RetryCancelInfoSystemModal:
        case BoxType::OkCancelWarning:
        case BoxType::OkCancelWarningSystemModal:
        case BoxType::YesNoCancelInfoSystemModal:
            return Answer::Cancel;
        default:
            return Answer::Ok;
    }
}

std::optional<NumberResult> ArgumentPrompts::EnterNumber(const NumberEntry& entry) {
    if (numbers_.empty()) return std::nullopt;
    const std::string text = numbers_.front();
    numbers_.pop_front();
    const NumberVerdict verdict = Check(entry, text);
    if (!verdict.result) {
        refused_ = Refusal{text, entry};
        return std::nullopt;
    }
    return verdict.result;
}

std::optional<SelectionResult> ArgumentPrompts::Select(const Selection& selection) {
    if (codes_.empty()) return std::nullopt;
    const int code = codes_.front();
    codes_.pop_front();
    for (std::size_t i = 0; i < selection.codes.size(); ++i) {
        if (selection.codes[i] == std::to_string(code)) {
            return SelectionResult{static_cast<int>(i), static_cast<std::int16_t>(code)};
        }
    }
    return std::nullopt;
}

}  // namespace qt40::cli
