#include "cli/ArgumentPrompts.h"

#include "model/EntryRules.h"

namespace qt40::cli {

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
    NumberVerdict verdict =
        entry.staging == NumberEntry::Staging::None
            ? CheckNumberEntry(entry, text)
            : CheckNumberForStaging(entry, text,
                                    entry.staging == NumberEntry::Staging::EnteredText
                                        ? StagedForm::Entered
                                        : StagedForm::Formatted,
                                    entry.stagingSuffix);
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
