#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "hart/Encodings.h"

using namespace qt40;

TEST(Encodings, IntegersAndFloatsAreBigEndian) {
    std::uint8_t b[4] = {};
    PutU16(b, 0x1234);
    EXPECT_EQ(std::vector<std::uint8_t>(b, b + 2), (std::vector<std::uint8_t>{0x12, 0x34}));
    PutU24(b, 16777215);
    EXPECT_EQ(std::vector<std::uint8_t>(b, b + 3), (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF}));
    PutFloat(b, 1.0f);
    EXPECT_EQ(std::vector<std::uint8_t>(b, b + 4), (std::vector<std::uint8_t>{0x3F, 0x80, 0, 0}));
    PutFloat(b, -2.5f);
    EXPECT_EQ(std::vector<std::uint8_t>(b, b + 4), (std::vector<std::uint8_t>{0xC0, 0x20, 0, 0}));

    const std::uint8_t minus110[] = {0xFF, 0x92};
    EXPECT_EQ(GetS16(minus110), -110);
    EXPECT_EQ(GetU16(minus110), 0xFF92);
    const std::uint8_t u24[] = {0x01, 0x02, 0x03};
    EXPECT_EQ(GetU24(u24), 0x010203u);
    const std::uint8_t half[] = {0x3F, 0x00, 0x00, 0x00};
    EXPECT_DOUBLE_EQ(GetFloat(half), 0.5);
}

TEST(Encodings, NumbersFromTextAsTheCLibraryReadsThem) {
    EXPECT_DOUBLE_EQ(NumberFromText("12.5"), 12.5);
    EXPECT_DOUBLE_EQ(NumberFromText("  -0.25xyz"), -0.25);
    EXPECT_DOUBLE_EQ(NumberFromText("+3"), 3.0);
    EXPECT_DOUBLE_EQ(NumberFromText("1.5e-003"), 0.0015);
    EXPECT_DOUBLE_EQ(NumberFromText(".5"), 0.5);
    EXPECT_DOUBLE_EQ(NumberFromText("abc"), 0.0);
    EXPECT_DOUBLE_EQ(NumberFromText(""), 0.0);
    EXPECT_DOUBLE_EQ(NumberFromText("-"), 0.0);
    EXPECT_DOUBLE_EQ(NumberFromText("1e-999"), 0.0);
    EXPECT_TRUE(std::isinf(NumberFromText("-1e999")) && NumberFromText("-1e999") < 0);
    EXPECT_EQ(IntegerFromText("-273abc"), -273);
    EXPECT_EQ(IntegerFromText("12.9"), 12);
    EXPECT_EQ(IntegerFromText("x"), 0);

    // Too large for a single: sent as infinity, never as an undefined narrowing.
    std::uint8_t b[4];
    PutFloatFromText(b, "1e300");
    EXPECT_EQ(std::vector<std::uint8_t>(b, b + 4), (std::vector<std::uint8_t>{0x7F, 0x80, 0, 0}));
}

TEST(Encodings, PackedAsciiAgainstKnownBytes) {
    const std::uint8_t zeros[] = {0x00, 0x00, 0x00};
    EXPECT_EQ(UnpackAscii(zeros, 4), "@@@@");
    const std::uint8_t blanks[] = {0x82, 0x08, 0x20};
    EXPECT_EQ(UnpackAscii(blanks, 4), "    ");

    std::uint8_t packed[6] = {};
    PackAscii("TT-101  ", packed, 8);
    // T=0x14, T=0x14, -=0x2D, 1=0x31 | 0=0x30, 1=0x31, blank=0x20, blank=0x20
    EXPECT_EQ(std::vector<std::uint8_t>(packed, packed + 6),
              (std::vector<std::uint8_t>{0x51, 0x4B, 0x71, 0xC3, 0x18, 0x20}));
    EXPECT_EQ(UnpackAscii(packed, 8), "TT-101  ");

    // Lower case keeps only six bits and comes back as punctuation: callers
    // must upper-case first.
    PackAscii("ab  ", packed, 4);
    EXPECT_EQ(UnpackAscii(packed, 4), "!\"  ");
    // A short text is packed as if padded with blanks.
    PackAscii("AB", packed, 4);
    EXPECT_EQ(UnpackAscii(packed, 4), "AB  ");
}

TEST(Encodings, DateTextAndBytes) {
    EXPECT_EQ(DateText(31, 12, 107), "2007/12/31");
    EXPECT_EQ(DateText(1, 2, 0), "1900/02/01");

    struct Row {
        const char* text;
        std::uint8_t day, month, year;
    };
    const Row rows[] = {
        {"2026/12/07", 7, 12, 126},
        {"2155/01/01", 1, 1, 255},
        {"1899/01/01", 1, 1, 255},  // modulo 256
        {"2009-02-28", 28, 2, 109},
    };
    for (const Row& row : rows) {
        std::uint8_t b[3] = {};
        PutDateFromText(b, row.text);
        EXPECT_EQ(b[0], row.day) << row.text;
        EXPECT_EQ(b[1], row.month) << row.text;
        EXPECT_EQ(b[2], row.year) << row.text;
    }
}
