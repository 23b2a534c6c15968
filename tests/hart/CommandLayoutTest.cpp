// The field descriptions every command is encoded, decoded and shown by.

#include <gtest/gtest.h>

#include <vector>

#include "hart/CommandSet.h"
#include "hart/DeviceState.h"

using namespace qt40;

namespace {

// No two fields of one list share a byte.
bool Overlap(std::span<const FieldLayout> fields) {
    std::vector<bool> used(256, false);
    for (const FieldLayout& f : fields) {
        for (std::size_t b = f.offset; b < f.offset + FieldSize(f); ++b) {
            if (used[b]) return true;
            used[b] = true;
        }
    }
    return false;
}

}  // namespace

TEST(CommandLayoutTest, EveryCommandsFieldsFitAndDoNotOverlap) {
    int commands = 0;
    for (int c = 0; c < 256; ++c) {
        const CommandStep* step = FindCommand(static_cast<std::uint8_t>(c));
        if (!step || step->command != c) continue;
        SCOPED_TRACE(c);
        ++commands;
        ASSERT_NE(step->layout, nullptr);
        EXPECT_FALSE(std::string(step->layout->name).empty());
        // A request field past the byte count would never be sent.
        EXPECT_LE(FieldsEnd(step->layout->request), step->byteCount);
        EXPECT_FALSE(Overlap(step->layout->request));
        EXPECT_FALSE(Overlap(step->layout->answer));
        for (const FieldLayout& f : step->layout->request) EXPECT_NE(f.load, nullptr) << f.name;
        // The answer's data must fit the data buffer behind the two status bytes.
        EXPECT_LE(FieldsEnd(step->layout->answer) + 2, kDataBufferSize);
        for (const auto* list : {&step->layout->request, &step->layout->answer}) {
            for (const FieldLayout& f : *list) {
                if (f.unitField < 0) continue;
                ASSERT_LT(static_cast<std::size_t>(f.unitField), list->size()) << f.name;
                EXPECT_EQ((*list)[static_cast<std::size_t>(f.unitField)].codes, FieldCodes::Unit) << f.name;
            }
        }
    }
    EXPECT_EQ(commands, 62);
    ASSERT_NE(FindLayout(46), nullptr);
    EXPECT_STREQ(FindLayout(46)->name, "Trim loop current gain");
    EXPECT_EQ(FindLayout(99), nullptr);
}

// An answer with every byte set decodes through the fields into the record
// as the hand-written decoders did: a few values checked at their places.
TEST(CommandLayoutTest, AnswerFieldsLandInTheirRecordMembers) {
    DeviceState s;
    s.link.command = 145;
    s.link.byteCount = 2 + 5;
    const std::uint8_t answer[] = {0, 0, 33, 0x41, 0xC8, 0x00, 0x00};
    std::copy(std::begin(answer), std::end(answer), s.link.dataBuffer.begin());
    ASSERT_TRUE(DecodeAnswer(s, *FindCommand(145)));
    EXPECT_EQ(s.record.termTempUnit, 33);
    EXPECT_DOUBLE_EQ(s.record.constantCjcValue, 25.0);

    s.link.command = 143;
    s.link.byteCount = 2 + 20;
    s.link.dataBuffer.fill(0);
    s.link.dataBuffer[2 + 12] = 0x42;  // R0 = 50.0 (0x42480000)
    s.link.dataBuffer[2 + 13] = 0x48;
    s.link.dataBuffer[2 + 16] = 0xFF;  // lower limit -200 (0xFF38)
    s.link.dataBuffer[2 + 17] = 0x38;
    s.link.dataBuffer[2 + 18] = 0x03;  // upper limit 850 (0x0352)
    s.link.dataBuffer[2 + 19] = 0x52;
    ASSERT_TRUE(DecodeAnswer(s, *FindCommand(143)));
    EXPECT_DOUBLE_EQ(s.record.rtdCoefficientR0, 50.0);
    EXPECT_EQ(s.record.rtdLowerLimit, -200);
    EXPECT_EQ(s.record.rtdUpperLimit, 850);
}
