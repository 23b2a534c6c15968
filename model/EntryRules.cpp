#include "model/EntryRules.h"

#include <chrono>

#include "model/NumberText.h"

namespace qt40 {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string CutToCharacters(std::string_view text, std::size_t count) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte & 0xC0) != 0x80) {
            if (seen == count) return std::string(text.substr(0, i));
            ++seen;
        }
    }
    return std::string(text);
}

}  // namespace

bool PassesNumberCharacters(std::string_view text) {
    bool point = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.') {
            if (point) return false;
            point = true;
        } else if (!IsDigit(c) && !(i == 0 && c == '-')) {
            return false;
        }
    }
    return true;
}

bool IsDecimalText(std::string_view text) {
    return PassesNumberCharacters(text) && text.find_first_of("0123456789") != std::string_view::npos;
}

std::optional<std::string> CommaDecimalAsDot(std::string_view text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos || text.find(',', comma + 1) != std::string_view::npos) {
        return std::nullopt;
    }
    std::string dotted(text);
    dotted[comma] = '.';
    if (!IsDecimalText(dotted)) return std::nullopt;
    return dotted;
}

bool IsDecimalTextWithExponent(std::string_view text) {
    const std::size_t e = text.find_first_of("eE");
    if (e == std::string_view::npos) return IsDecimalText(text);
    std::string_view power = text.substr(e + 1);
    if (!power.empty() && (power.front() == '-' || power.front() == '+')) power.remove_prefix(1);
    return IsDecimalText(text.substr(0, e)) && !power.empty() &&
           power.find_first_not_of("0123456789") == std::string_view::npos;
}

bool InEntryRange(double value, double minimum, double maximum, bool zeroAllowed) {
    if (minimum <= value && value <= maximum) return true;
    return zeroAllowed && value == 0.0;
}

std::string InitialNumberText(std::string_view initialText) {
    if (initialText.empty() || initialText == " ") return "0";
    return std::string(initialText);
}

NumberVerdict CheckNumberEntry(const NumberEntry& entry, std::string_view text) {
    NumberVerdict verdict;
    const std::string errorKey =
        entry.rangeMessage ? "Err_Range_Input" : "Err_Calibration_Value_Invalid";
    if (!PassesNumberCharacters(text)) {
        verdict.errorKey = errorKey;
        return verdict;
    }
    const double value = LeadingDecimal(text);
    if (!InEntryRange(value, entry.minimum, entry.maximum, entry.zeroAllowed)) {
        verdict.errorKey = errorKey;
        return verdict;
    }
    NumberResult result;
    result.enteredText = CutToCharacters(text, kEnteredTextLimit);
    result.formattedText = FormatFixed(value, 3);
    result.value = value;
    verdict.result = std::move(result);
    return verdict;
}

bool FitsStagingField(std::string_view text, std::string_view suffix, std::size_t capacity) {
    return text.size() + suffix.size() <= capacity;
}

NumberVerdict CheckNumberForStaging(const NumberEntry& entry, std::string_view text,
                                    StagedForm form, std::string_view suffix) {
    NumberVerdict verdict = CheckNumberEntry(entry, text);
    if (!verdict.result) return verdict;
    const std::string& staged =
        form == StagedForm::Entered ? verdict.result->enteredText : verdict.result->formattedText;
    if (!FitsStagingField(staged, suffix)) {
        verdict.result.reset();
        verdict.errorKey = entry.rangeMessage ? "Err_Range_Input" : "Err_Calibration_Value_Invalid";
    }
    return verdict;
}

std::string TextEntryResult(std::string_view text) {
    const std::string_view trimmed = Trimmed(text);
    return trimmed.empty() ? std::string(" ") : std::string(trimmed);
}

std::size_t CharacterCount(std::string_view text) {
    std::size_t count = 0;
    for (char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
    }
    return count;
}

bool ExceedsLengthLimit(std::string_view text, int lengthLimit) {
    return lengthLimit >= 0 && CharacterCount(text) > static_cast<std::size_t>(lengthLimit);
}

bool HasOnlyPrintableAscii(std::string_view text) {
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte > 126) return false;
    }
    return true;
}

bool IsValidDate(std::string_view text) {
    if (text.size() != 10) return false;
    const long long year = LeadingInteger(text.substr(0, 4));
    const long long month = LeadingInteger(text.substr(5, 2));
    const long long day = LeadingInteger(text.substr(8, 2));
    // Sent as year - 1900 in one byte: any other year would come back another.
    if (year < kFirstDeviceYear || year > kLastDeviceYear) return false;
    if (month < 1 || month > 12 || day < 1 || day > 31) return false;
    // The calendar round trip: a day the month does not have would come back shifted.
    const std::chrono::year_month_day date{std::chrono::year{static_cast<int>(year)},
                                           std::chrono::month{static_cast<unsigned>(month)},
                                           std::chrono::day{static_cast<unsigned>(day)}};
    return date.ok();
}

std::optional<std::string> FirstUnstorableCharacter(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const auto upper = byte >= 'a' && byte <= 'z' ? byte - ('a' - 'A') : byte;
        if (upper >= 0x20 && upper <= 0x5F) continue;
        std::size_t length = 1;
        while (i + length < text.size() &&
               (static_cast<unsigned char>(text[i + length]) & 0xC0) == 0x80) {
            ++length;
        }
        return std::string(text.substr(i, length));
    }
    return std::nullopt;
}

TextVerdict CheckTextEntry(const TextEntry& entry, std::string_view text) {
    TextVerdict verdict;
    std::string result = TextEntryResult(text);
    switch (entry.mode) {
        case TextMode::Text:
            if (ExceedsLengthLimit(result, entry.lengthLimit)) {
                verdict.errorKey = "Err_Tag_Number_overflow";
                verdict.errorArgs = {std::to_string(entry.lengthLimit)};
                return verdict;
            }
            if (entry.packed) {
                // "~" or "é" would come back from the device as another
                // character: named, unless it is a control character.
                if (const auto unstorable = FirstUnstorableCharacter(result)) {
                    const auto first = static_cast<unsigned char>(unstorable->front());
                    if (first < 0x20 || first == 0x7F) {
                        verdict.errorKey = "Err_Tag_Inalid_char";
                    } else {
                        verdict.errorKey = "Err_Packed_Char";
                        verdict.errorArgs = {*unstorable};
                    }
                    return verdict;
                }
            }
            if (!HasOnlyPrintableAscii(result)) {
                verdict.errorKey = "Err_Tag_Inalid_char";
                return verdict;
            }
            break;
        case TextMode::Date:
            if (!IsValidDate(result)) {
                verdict.errorKey = "Err_Date_Invalid";
                return verdict;
            }
            break;
        case TextMode::None:
            break;
    }
    verdict.result = std::move(result);
    return verdict;
}

int PreselectedPosition(const Selection& selection) {
    if (selection.names.empty()) return -1;
    int position = 0;
    for (std::size_t i = 0; i < selection.names.size(); ++i) {
        if (selection.preselectName && selection.names[i] == *selection.preselectName) {
            position = static_cast<int>(i);
        }
        if (selection.preselectCode && i < selection.codes.size() &&
            LeadingInteger(selection.codes[i]) == *selection.preselectCode) {
            position = static_cast<int>(i);
        }
    }
    return position;
}

std::optional<SelectionResult> SelectionAt(const Selection& selection, int position) {
    if (position < 0 || static_cast<std::size_t>(position) >= selection.names.size() ||
        static_cast<std::size_t>(position) >= selection.codes.size()) {
        return std::nullopt;
    }
    SelectionResult result;
    result.position = position;
    result.code = static_cast<std::int16_t>(
        LeadingInteger(selection.codes[static_cast<std::size_t>(position)]));
    return result;
}

}  // namespace qt40
