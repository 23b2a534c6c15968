// The number, text and date checks on arbitrary typing: accepted results
// always respect their limits and their formatted value reads back.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "model/EntryRules.h"
#include "model/NumberText.h"
#include "tables/TableRules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qt40;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    NumberEntry entry;
    entry.minimum = -99999;
    entry.maximum = 99999;
    entry.zeroAllowed = size % 2 == 0;
    const NumberVerdict number = CheckNumberEntry(entry, text);
    if (number.result) {
        if (!PassesNumberCharacters(text)) std::abort();
        if (CharacterCount(number.result->enteredText) > kEnteredTextLimit) std::abort();
        const double back = LeadingDecimal(number.result->formattedText);
        if (std::fabs(back - number.result->value) > 0.0005 + 1e-9) std::abort();
        if (!FitsStagingField(number.result->formattedText)) std::abort();
    } else if (number.errorKey.empty()) {
        std::abort();
    }
    const NumberVerdict staged = CheckNumberForStaging(entry, text, StagedForm::Entered, "e-003");
    if (staged.result && staged.result->enteredText.size() + 5 > kNumberTextCapacity) std::abort();

    TextEntry tag;
    tag.lengthLimit = 8;
    const TextVerdict textVerdict = CheckTextEntry(tag, text);
    if (textVerdict.result) {
        if (textVerdict.result->empty() || textVerdict.result->size() > 8) std::abort();
        if (!HasOnlyPrintableAscii(*textVerdict.result)) std::abort();
    }
    // A packed text taken is one the device stores as it is (after upper case).
    tag.packed = true;
    const TextVerdict packed = CheckTextEntry(tag, text);
    if (packed.result && FirstUnstorableCharacter(*packed.result)) std::abort();
    if (!packed.result && packed.errorKey.empty()) std::abort();
    TextEntry date;
    date.mode = TextMode::Date;
    const TextVerdict dateVerdict = CheckTextEntry(date, text);
    if (dateVerdict.result && dateVerdict.result->size() != 10) std::abort();
    // What the date encoder sends fits its byte: no year is wrapped.
    if (dateVerdict.result) {
        const long long year = LeadingInteger(std::string_view(*dateVerdict.result).substr(0, 4));
        if (year < kFirstDeviceYear || year > kLastDeviceYear) std::abort();
    }

    (void)PassesTableNumberCheck(text);
    (void)LeadingInteger(text);
    const double decimal = LeadingDecimal(text);
    (void)FormatFixed(decimal, 3, 4);
    (void)FormatGeneral(decimal);
    (void)TruncateToInt(decimal);
    return 0;
}
