#pragma once
// The checks of the three entry dialogs (number, text or date, selection),
// free of any widget so that dialogs, pages and tests share them.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "base/Prompts.h"
#include "model/WriteBuffer.h"

namespace qt40 {

// Typed texts longer than this come back cut (the formatted value is built from the full text).
inline constexpr std::size_t kEnteredTextLimit = 17;

// Characters of a number entry: "-", a digit or "." first, then digits and
// ".", one "." at most. The empty text passes.
bool PassesNumberCharacters(std::string_view text);

// A number written as a file or a command line must give it: passes the
// characters above and holds at least one digit ("-" or "." alone is none).
bool IsDecimalText(std::string_view text);
// A decimal number written with a comma for its point ("12,01", "-0,5"): the
// text with a dot in its place, so a refusal can say that the point is a dot.
std::optional<std::string> CommaDecimalAsDot(std::string_view text);

// The same with a power of ten after it ("3.9083e-3"): how the command line
// takes the coefficients that the entries take scaled.
bool IsDecimalTextWithExponent(std::string_view text);

// Inclusive range, or exactly 0 when zero is allowed.
bool InEntryRange(double value, double minimum, double maximum, bool zeroAllowed);

// What the edit field starts with: an empty text or a single blank shows "0".
std::string InitialNumberText(std::string_view initialText);

// Outcome of the OK button of a number entry: the result, or the message key
// the dialog shows before staying open ("Err_Range_Input" or
// "Err_Calibration_Value_Invalid", no inserted values).
struct NumberVerdict {
    std::optional<NumberResult> result;
    std::string errorKey;
};
NumberVerdict CheckNumberEntry(const NumberEntry& entry, std::string_view text);

// Whether a staged number text (and the suffix a caller appends, such as
// "e-003") fits its WriteBuffer field.
bool FitsStagingField(std::string_view text, std::string_view suffix = {},
                      std::size_t capacity = kNumberTextCapacity);

// The number check for a value that goes into the WriteBuffer: a result
// whose staged text (entered or formatted, plus suffix) would not fit is
// refused with the entry's error key instead of being cut.
enum class StagedForm { Entered, Formatted };
NumberVerdict CheckNumberForStaging(const NumberEntry& entry, std::string_view text,
                                    StagedForm form, std::string_view suffix = {});

// Leading and trailing blanks removed; an empty result becomes one blank.
std::string TextEntryResult(std::string_view text);

// Length in characters (UTF-8 sequences count once).
std::size_t CharacterCount(std::string_view text);
// The length test of text mode, also run by the Enter key.
bool ExceedsLengthLimit(std::string_view text, int lengthLimit);
// Only the 95 printable ASCII characters, blank to "~".
bool HasOnlyPrintableAscii(std::string_view text);
// The years a device date holds: one byte counts them from 1900.
inline constexpr int kFirstDeviceYear = 1900;
inline constexpr int kLastDeviceYear = 2155;
// "YYYY?MM?DD": ten characters, a year the device holds, month 1-12, day
// 1-31, and a real calendar day.
bool IsValidDate(std::string_view text);

// Packed ASCII keeps six bits of a character: blank to "_" (0x20-0x5F), with
// lower-case letters raised to upper case before they are packed. The first
// character of `text` outside that set (a whole UTF-8 sequence), if any.
std::optional<std::string> FirstUnstorableCharacter(std::string_view text);

// Outcome of the OK button of a text entry: the trimmed result, or the
// message to show ("Err_Tag_Number_overflow" with the limit text,
// "Err_Tag_Inalid_char", "Err_Packed_Char" with the character,
// "Err_Date_Invalid").
struct TextVerdict {
    std::optional<std::string> result;
    std::string errorKey;
    MessageArgs errorArgs;
};
TextVerdict CheckTextEntry(const TextEntry& entry, std::string_view text);

// Position a selection opens on: the entry matching the preselected code or
// name (the last match wins), else the first; -1 for an empty list.
int PreselectedPosition(const Selection& selection);
// The code a position stands for (the integer value of its code text); nothing when out of range.
std::optional<SelectionResult> SelectionAt(const Selection& selection, int position);

}  // namespace qt40
