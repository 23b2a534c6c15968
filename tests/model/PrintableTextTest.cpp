// Texts from files and devices as they reach a terminal: nothing that steers
// it gets through, everything else is left as it was.

#include <gtest/gtest.h>

#include "model/PrintableText.h"

namespace qt40 {
namespace {

TEST(PrintableTextTest, ControlsBecomeVisibleEscapes) {
    struct Row {
        const char* name;
        std::string in, line, lines;
    };
    const Row rows[] = {
        {"plain ASCII and Japanese stay", "TT-101 温度 °C", "TT-101 温度 °C", "TT-101 温度 °C"},
        {"clear screen", "a\x1b[2Jb", "a\\x1B[2Jb", "a\\x1B[2Jb"},
        {"window title", "\x1b]0;owned\x07", "\\x1B]0;owned\\x07", "\\x1B]0;owned\\x07"},
        {"a forged line", "ok\nExchange 1, serial", "ok\\nExchange 1, serial",
         "ok\nExchange 1, serial"},
        {"carriage return overwrites", "real\rfake", "real\\rfake", "real\\rfake"},
        {"CR LF line end", "a\r\nb", "a\\r\\nb", "a\r\nb"},
        {"tab", "a\tb", "a\\tb", "a\tb"},
        {"NUL and DEL", std::string("a\0b\x7F", 4), "a\\x00b\\x7F", "a\\x00b\\x7F"},
        {"C1 control in UTF-8 (CSI)",
         "a\xC2\x9B"
         "2J",
         "a\\u009B2J", "a\\u009B2J"},
        {"right-to-left override",
         "abc\xE2\x80\xAE"
         "fed",
         "abc\\u202Efed", "abc\\u202Efed"},
        {"bytes that are no UTF-8", "a\xFF\xC3", "a\\xFF\\xC3", "a\\xFF\\xC3"},
        {"overlong slash", "\xC0\xAF", "\\xC0\\xAF", "\\xC0\\xAF"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(PrintableText(r.in), r.line);
        EXPECT_EQ(PrintableLines(r.in), r.lines);
    }
}

}  // namespace
}  // namespace qt40
