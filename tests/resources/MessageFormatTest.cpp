#include "resources/MessageFormat.h"

#include <gtest/gtest.h>

namespace qt40 {
namespace {

using S = std::string;

struct FormatRow {
    const char* name;
    std::string text;
    MessageArgs args;
    std::string expected;
};

void PrintTo(const FormatRow& row, std::ostream* os) {
    *os << row.name;
}

class FormatMessageTextTest : public ::testing::TestWithParam<FormatRow> {};

TEST_P(FormatMessageTextTest, Formats) {
    EXPECT_EQ(FormatMessageText(GetParam().text, GetParam().args), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FormatMessageTextTest,
    ::testing::Values(
        FormatRow{"PlainText", "Close?", {}, "Close?"},
        FormatRow{"DoublePercent", "0 to 100 %%", {}, "0 to 100 %"},
        FormatRow{"Integer", "address %d", {7LL}, "address 7"},
        FormatRow{"FixedReal", "%4.3f|%.2f|%lf", {1.5, 2.0, 0.25}, "1.500|2.00|0.250000"},
        FormatRow{"Texts", "%s to %s %s", {S("-100"), S("800"), S("mV")}, "-100 to 800 mV"},
        FormatRow{"Positional", "%2$s / %1$s", {S("a"), S("b")}, "b / a"},
        FormatRow{"ExtraArgumentsIgnored", "only %s", {S("one"), S("two")}, "only one"},
        // Untrusted texts: never read what was not passed.
        FormatRow{"FormatAttack", "%s%s%s%n", {}, "%s%s%s%n"},
        FormatRow{"WriteConversion", "%n", {7LL}, "%n"},
        FormatRow{"MissingArgument", "%s and %s", {S("one")}, "%s and %s"},
        FormatRow{"IntegerWantedTextGiven", "%d", {S("7")}, "%d"},
        FormatRow{"TextWantedIntegerGiven", "%s", {7LL}, "%s"},
        FormatRow{"RealWantedIntegerGiven", "%f", {7LL}, "%f"},
        FormatRow{"StarWidth", "%*d", {5LL, 7LL}, "%*d"},
        FormatRow{"HugeWidth", "%999999999d", {7LL}, "%999999999d"},
        FormatRow{"PointerConversion", "%p", {7LL}, "%p"},
        FormatRow{"LonePercentAtEnd", "100%", {}, "100%"},
        FormatRow{"MixedPositional", "%1$s %s", {S("a"), S("b")}, "%1$s %s"},
        // Insert style.
        FormatRow{"Inserts", "%1!s! then %2!s!", {S("a"), S("b")}, "a then b"},
        FormatRow{"InsertsReordered", "%2!s!%n%1!s!", {S("a"), S("b")}, "b\na"},
        FormatRow{"BareInsert", "file %1 read", {S("x.lng")}, "file x.lng read"},
        FormatRow{"InsertWithNumberFormat", "%1!d! of %2!4.1f!", {3LL, 2.5}, "3 of  2.5"},
        FormatRow{"InsertEscapes", "%1!s!%%%.%!%0 cut", {S("a")}, "a%.!"},
        FormatRow{"InsertMissing", "%1!s! %3!s!", {S("a"), S("b")}, "%1!s! %3!s!"},
        FormatRow{"InsertWrongType", "%1!d!", {S("a")}, "%1!d!"},
        FormatRow{"InsertWithPrintfPlaceholder", "%1!s! %s", {S("a")}, "%1!s! %s"},
        FormatRow{"InsertUnclosed", "%1!s", {S("a")}, "%1!s"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MessageFormatTest, InsertStyleIsRecognisedByNumberedInserts) {
    EXPECT_TRUE(UsesInserts("%1!s!"));
    EXPECT_TRUE(UsesInserts("a %12 b"));
    EXPECT_FALSE(UsesInserts("%1$s"));
    EXPECT_FALSE(UsesInserts("%%1"));
    EXPECT_FALSE(UsesInserts("%s%n"));
    EXPECT_FALSE(UsesInserts("%4.3f"));
    EXPECT_FALSE(UsesInserts("%2d"));
    EXPECT_TRUE(UsesInserts("%2 items"));
}

TEST(MessageFormatTest, InsertsFromTextsDoNotReinterpretTheirContent) {
    EXPECT_EQ(FormatInserts("\"%1!s!\"", std::vector<std::string>{"100%s%n"}), "\"100%s%n\"");
}

TEST(MessageFormatTest, ScanReportsWhatEachArgumentIsReadAs) {
    const PlaceholderScan scan = ScanPrintf("%d: %s is %.3f %%");
    ASSERT_TRUE(scan.Ok());
    EXPECT_EQ(scan.uses, (std::map<int, ArgType>{
                             {0, ArgType::Integer}, {1, ArgType::Text}, {2, ArgType::Real}}));
    EXPECT_FALSE(ScanPrintf("%1$d %1$s").Ok());
    EXPECT_FALSE(ScanInserts("%q").Ok());
}

TEST(MessageFormatTest, CheckArgumentsNamesTheProblem) {
    const std::vector<ArgType> textThenInt{ArgType::Text, ArgType::Integer};
    EXPECT_EQ(CheckArguments(ScanPrintf("%s %d"), textThenInt, true), "");
    EXPECT_NE(CheckArguments(ScanPrintf("%s"), textThenInt, true).find("argument 2 is never"),
              std::string::npos);
    EXPECT_EQ(CheckArguments(ScanPrintf("%s"), textThenInt, false), "");
    EXPECT_NE(CheckArguments(ScanPrintf("%d %d"), textThenInt, false).find("argument 1"),
              std::string::npos);
    EXPECT_NE(CheckArguments(ScanPrintf("%s %d %s"), textThenInt, false).find("only 2"),
              std::string::npos);
}

}  // namespace
}  // namespace qt40
