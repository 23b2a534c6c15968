#include <gtest/gtest.h>

#include <cmath>

#include "model/EntryRules.h"
#include "model/NumberText.h"

using namespace qt40;

namespace {

NumberEntry Damping() {
    NumberEntry entry;
    entry.minimum = 0.5;
    entry.maximum = 30.0;
    entry.zeroAllowed = true;
    return entry;
}

}  // namespace

TEST(NumberCharacters, AcceptsOnlyDigitsOnePointAndALeadingMinus) {
    struct Row {
        const char* text;
        bool passes;
    };
    const Row rows[] = {
        {"", true},       {"-", true},    {".5", true},   {"5.", true},   {"-.5", true},
        {"12.25", true},  {"1e3", false}, {"+5", false},  {"5 ", false},  {" 5", false},
        {"1.2.3", false}, {"5-", false},  {"--5", false}, {"1,5", false}, {"0x10", false},
    };
    for (const Row& row : rows) EXPECT_EQ(PassesNumberCharacters(row.text), row.passes) << row.text;
}

TEST(NumberEntry, DampingRangeWithZeroAllowed) {
    struct Row {
        const char* text;
        bool accepted;
        const char* formatted;
    };
    const Row rows[] = {
        {"0", true, "0.000"},       {"0.2", false, ""},     {"30", true, "30.000"},
        {"30.000", true, "30.000"}, {"30.0001", false, ""}, {"0.5", true, "0.500"},
        {"-", true, "0.000"},       {"", true, "0.000"},    {"-0.2", false, ""},
    };
    for (const Row& row : rows) {
        const NumberVerdict verdict = CheckNumberEntry(Damping(), row.text);
        ASSERT_EQ(verdict.result.has_value(), row.accepted) << row.text;
        if (row.accepted) {
            EXPECT_EQ(verdict.result->formattedText, row.formatted) << row.text;
            EXPECT_TRUE(verdict.errorKey.empty());
        } else {
            EXPECT_EQ(verdict.errorKey, "Err_Range_Input") << row.text;
        }
    }
}

TEST(NumberEntry, ZeroOutsideTheRangeNeedsZeroAllowed) {
    NumberEntry entry;
    entry.minimum = -99999;
    entry.maximum = 99999;
    entry.rangeMessage = false;
    EXPECT_TRUE(CheckNumberEntry(entry, "0").result);
    entry.minimum = 1;
    const NumberVerdict verdict = CheckNumberEntry(entry, "0");
    EXPECT_FALSE(verdict.result);
    EXPECT_EQ(verdict.errorKey, "Err_Calibration_Value_Invalid");
    // A file-side PV range entry refuses 100000 with the calibration message.
    entry.minimum = -99999;
    EXPECT_EQ(CheckNumberEntry(entry, "100000").errorKey, "Err_Calibration_Value_Invalid");
    EXPECT_EQ(CheckNumberEntry(entry, "1e3").errorKey, "Err_Calibration_Value_Invalid");
}

TEST(NumberEntry, LongTextIsCutTo17ButFormattedFromTheWholeText) {
    NumberEntry entry;
    entry.minimum = 0;
    entry.maximum = 10;
    const std::string text = "1.234567890123456789";  // 20 characters
    const NumberVerdict verdict = CheckNumberEntry(entry, text);
    ASSERT_TRUE(verdict.result);
    EXPECT_EQ(verdict.result->enteredText, "1.234567890123456");
    EXPECT_EQ(verdict.result->formattedText, "1.235");
    EXPECT_DOUBLE_EQ(verdict.result->value, 1.234567890123456789);
}

TEST(NumberEntry, StagingRefusesWhatItsFieldCannotHold) {
    NumberEntry coefficient;
    coefficient.minimum = -99999;
    coefficient.maximum = 99999;
    // 14 typed characters and "e-003" make 19: fits exactly.
    EXPECT_TRUE(
        CheckNumberForStaging(coefficient, "3.908300000000", StagedForm::Entered, "e-003").result);
    const NumberVerdict refused =
        CheckNumberForStaging(coefficient, "3.9083000000000", StagedForm::Entered, "e-003");
    EXPECT_FALSE(refused.result);
    EXPECT_EQ(refused.errorKey, "Err_Range_Input");

    NumberEntry wide;
    wide.minimum = 0;
    wide.maximum = 1e30;
    // "%.3lf" of 1e20 has 25 characters.
    EXPECT_FALSE(
        CheckNumberForStaging(wide, "100000000000000000000", StagedForm::Formatted).result);
    EXPECT_TRUE(CheckNumberForStaging(wide, "123456789012345", StagedForm::Formatted).result);
    EXPECT_TRUE(FitsStagingField(std::string(19, '1')));
    EXPECT_FALSE(FitsStagingField(std::string(20, '1')));
}

TEST(TextEntry, LengthCharacterSetAndTrimming) {
    TextEntry tag;
    tag.lengthLimit = 8;
    TextVerdict verdict = CheckTextEntry(tag, "ABCDEFGHI");
    EXPECT_FALSE(verdict.result);
    EXPECT_EQ(verdict.errorKey, "Err_Tag_Number_overflow");
    EXPECT_EQ(verdict.errorArgs, MessageArgs{std::string("8")});

    verdict = CheckTextEntry(tag, "  abc~{}  ");
    ASSERT_TRUE(verdict.result);
    EXPECT_EQ(*verdict.result, "abc~{}");

    // Eight characters, one of them not ASCII: a character error, not a length error.
    verdict = CheckTextEntry(tag,
                             "ABCD\xC3\xA9"
                             "FG");
    EXPECT_EQ(verdict.errorKey, "Err_Tag_Inalid_char");
    EXPECT_TRUE(verdict.errorArgs.empty());
    EXPECT_EQ(CheckTextEntry(tag, "AB\tCD").errorKey, "Err_Tag_Inalid_char");

    verdict = CheckTextEntry(tag, "   ");
    ASSERT_TRUE(verdict.result);
    EXPECT_EQ(*verdict.result, " ");
    EXPECT_TRUE(ExceedsLengthLimit("123456789", 8));
    EXPECT_FALSE(ExceedsLengthLimit("12345678", 8));
}

TEST(DateEntry, CalendarRoundTrip) {
    struct Row {
        const char* text;
        bool valid;
    };
    const Row rows[] = {
        {"2009/13/01", false}, {"2009/02/29", false}, {"2008/02/29", true},  {"2009-02-28", true},
        {"2009/02/30", false}, {"2009/04/31", false}, {"2009/00/10", false}, {"2009/01/00", false},
        {"2009/1/1", false},   {"2009/12/31", true},  {"2009x12y31", true},  {"2000/02/29", true},
        {"1900/02/29", false}, {"abcd/ef/gh", false},
    };
    TextEntry date;
    date.mode = TextMode::Date;
    for (const Row& row : rows) {
        EXPECT_EQ(IsValidDate(row.text), row.valid) << row.text;
        const TextVerdict verdict = CheckTextEntry(date, row.text);
        EXPECT_EQ(verdict.result.has_value(), row.valid) << row.text;
        if (!row.valid) {
            EXPECT_EQ(verdict.errorKey, "Err_Date_Invalid") << row.text;
        }
    }
    // Blanks around a date are trimmed before the check.
    EXPECT_TRUE(CheckTextEntry(date, " 2008/02/29 ").result);
}

// One byte carries year - 1900: any other year would be written wrapped
// ("0224" as 2016, "2205" as 1949).
TEST(DateEntry, OnlyYearsTheDeviceHolds) {
    const struct {
        const char* text;
        bool valid;
    } rows[] = {
        {"1900/01/01", true},  {"2155/12/31", true},  {"1899/12/31", false},
        {"2156/01/01", false}, {"0224/03/15", false}, {"2205/03/15", false},
        {"9999/12/31", false}, {"-024/03/15", false},
    };
    TextEntry date;
    date.mode = TextMode::Date;
    for (const auto& row : rows) {
        EXPECT_EQ(IsValidDate(row.text), row.valid) << row.text;
        EXPECT_EQ(CheckTextEntry(date, row.text).errorKey, row.valid ? "" : "Err_Date_Invalid")
            << row.text;
    }
}

// A tag, descriptor or message holds the 64 characters of packed ASCII;
// lower case is raised, anything else outside is refused by name.
TEST(TextEntry, PackedTextTakesOnlyWhatTheDeviceStores) {
    const struct {
        const char* typed;
        const char* errorKey;
        const char* named;  // the character the message names
    } rows[] = {
        {"TT-101", "", ""},
        {"tt_[1]^@", "", ""},
        {"AB~1", "Err_Packed_Char", "~"},
        {"a{b}", "Err_Packed_Char", "{"},
        {"A|B", "Err_Packed_Char", "|"},
        {"`AB", "Err_Packed_Char", "`"},
        {"Temp\xC3\xA9", "Err_Packed_Char", "\xC3\xA9"},
        {"AB\tCD", "Err_Tag_Inalid_char", ""},
    };
    TextEntry tag;
    tag.lengthLimit = 8;
    tag.packed = true;
    for (const auto& row : rows) {
        const TextVerdict verdict = CheckTextEntry(tag, row.typed);
        EXPECT_EQ(verdict.errorKey, row.errorKey) << row.typed;
        EXPECT_EQ(verdict.result.has_value(), *row.errorKey == '\0') << row.typed;
        if (*row.named) {
            EXPECT_EQ(verdict.errorArgs, MessageArgs{std::string(row.named)});
        }
    }
    EXPECT_EQ(FirstUnstorableCharacter("abc XYZ 0-9 !\"#$%&'()*+,./:;<=>?@[\\]^_"), std::nullopt);
    EXPECT_EQ(FirstUnstorableCharacter("AB\x7F"), "\x7F");
}

TEST(Selection, PreselectionByCodeOrNameElseFirst) {
    Selection units;
    units.names = {"degC", "degF", "degR", "Kelvin"};
    units.codes = {"32", "33", "34", "35"};
    EXPECT_EQ(PreselectedPosition(units), 0);
    units.preselectCode = 34;
    EXPECT_EQ(PreselectedPosition(units), 2);
    units.preselectCode = 99;
    EXPECT_EQ(PreselectedPosition(units), 0);
    units.preselectCode.reset();
    units.preselectName = "Kelvin";
    EXPECT_EQ(PreselectedPosition(units), 3);
    units.preselectName = "kelvin";
    EXPECT_EQ(PreselectedPosition(units), 0);

    Selection twice;
    twice.names = {"A", "B", "A"};
    twice.codes = {"1", "2", "3"};
    twice.preselectName = "A";
    EXPECT_EQ(PreselectedPosition(twice), 2);  // the last match wins

    auto chosen = SelectionAt(units, 3);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->code, 35);
    EXPECT_FALSE(SelectionAt(units, 4));
    EXPECT_EQ(PreselectedPosition(Selection{}), -1);
}

TEST(NumberText, FormatsLikePrintfInTheCLocale) {
    EXPECT_EQ(FormatFixed(1.5, 3), "1.500");
    EXPECT_EQ(FormatFixed(-0.0005, 3), "-0.001");
    EXPECT_EQ(FormatFixed(2.0, 2, 4), "2.00");
    EXPECT_EQ(FormatFixed(2.0, 0, 4), "   2");
    EXPECT_EQ(FormatGeneral(1234567.0), "1.23457e+06");
    EXPECT_EQ(FormatGeneral(-45.5), "-45.5");
    EXPECT_EQ(FormatTruncated(-99.5), "-99");
    EXPECT_EQ(TruncateToInt(std::nan("")), 0);
    EXPECT_EQ(TruncateToInt(1e300), 2147483647);
}

TEST(NumberText, LeadingNumbersLikeAtofAndAtoi) {
    EXPECT_DOUBLE_EQ(LeadingDecimal(" -12.5abc"), -12.5);
    EXPECT_DOUBLE_EQ(LeadingDecimal("+.5"), 0.5);
    EXPECT_DOUBLE_EQ(LeadingDecimal("1e3"), 1000.0);
    EXPECT_DOUBLE_EQ(LeadingDecimal("1.2.3"), 1.2);
    EXPECT_DOUBLE_EQ(LeadingDecimal("-"), 0.0);
    EXPECT_DOUBLE_EQ(LeadingDecimal("inf"), 0.0);
    EXPECT_DOUBLE_EQ(LeadingDecimal("nan"), 0.0);
    EXPECT_TRUE(std::isinf(LeadingDecimal("1e999")));
    EXPECT_TRUE(std::isinf(LeadingDecimal(std::string(400, '9'))));
    EXPECT_DOUBLE_EQ(LeadingDecimal("1e-999"), 0.0);
    EXPECT_DOUBLE_EQ(LeadingDecimal("0." + std::string(400, '0') + "1"), 0.0);
    EXPECT_EQ(LeadingInteger(" 5 "), 5);
    EXPECT_EQ(LeadingInteger("-273.9"), -273);
    EXPECT_EQ(LeadingInteger("x5"), 0);
    EXPECT_EQ(LeadingInteger(std::string(40, '9')), 9223372036854775807LL);
}

namespace qt40 {
namespace {

TEST(EntryRulesTest, ADecimalCommaIsReadAsTheNumberItMeant) {
    EXPECT_EQ(CommaDecimalAsDot("12,01"), "12.01");
    EXPECT_EQ(CommaDecimalAsDot("-0,5"), "-0.5");
    EXPECT_EQ(CommaDecimalAsDot("12.01"), std::nullopt);
    EXPECT_EQ(CommaDecimalAsDot("1,2,3"), std::nullopt);
    EXPECT_EQ(CommaDecimalAsDot("1,2.3"), std::nullopt);
    EXPECT_EQ(CommaDecimalAsDot("a,b"), std::nullopt);
}

}  // namespace
}  // namespace qt40
