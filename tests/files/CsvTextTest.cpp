// One CSV field rule for every file we write: quoting, the formula guard
// that leaves numbers alone, and reading back what was written.

#include <gtest/gtest.h>

#include "files/CsvText.h"

namespace qt40 {
namespace {

TEST(CsvTextTest, FormulasAreGuardedNumbersInEveryNotationAreNot) {
    const struct {
        const char* text;
        const char* field;
    } rows[] = {
        {"-200.000", "-200.000"},
        {"-5.775e-07", "-5.775e-07"},
        {"+1E+10", "+1E+10"},
        {"-.5", "-.5"},
        {"3.9083e-3", "3.9083e-3"},
        {"-", "'-"},
        {"-e5", "'-e5"},
        {"-5e", "'-5e"},
        {"-5e-", "'-5e-"},
        {"-1-1", "'-1-1"},
        {"-inf", "'-inf"},
        {"=1+2", "'=1+2"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"+CMD", "'+CMD"},
        {"\tx", "'\tx"},
        {"'kept", "''kept"},  // read back as written, not losing its apostrophe
        {"a,b", "\"a,b\""},
        {"=A1,B1", "\"'=A1,B1\""},
        {"", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(CsvField(row.text), row.field) << row.text;
        // Whatever was written reads back as the text.
        const auto back = ReadCsvLine(CsvField(row.text));
        ASSERT_EQ(back.size(), 1u) << row.text;
        EXPECT_EQ(back[0], row.text);
    }
}

TEST(CsvTextTest, ALineReadsBackIntoItsFields) {
    const std::vector<std::string> fields{"/dev/ttyUSB0", "", "=1+2", "say \"hi\"", "a,b", "'x"};
    EXPECT_EQ(ReadCsvLine(CsvLine(fields)), fields);
    EXPECT_EQ(ReadCsvLine("a,\"b,c"), (std::vector<std::string>{"a", "b,c"}));  // cut short
}

}  // namespace
}  // namespace qt40
