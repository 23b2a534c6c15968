#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "hart/CommandSet.h"
#include "hart/DeviceState.h"

using namespace qt40;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes RequestBytes(DeviceState& s, std::uint8_t command) {
    PrepareRequest(s, *FindCommand(command));
    return Bytes(s.link.dataBuffer.begin(), s.link.dataBuffer.begin() + s.link.byteCount);
}

// Puts an answer's data (after the two status bytes) into the link as the
// frame decoder would.
void SetAnswer(DeviceState& s, std::uint8_t command, const Bytes& data) {
    s.link.command = command;
    s.link.byteCount = static_cast<std::uint8_t>(data.size() + 2);
    s.link.dataBuffer[0] = 0;
    s.link.dataBuffer[1] = 0;
    std::copy(data.begin(), data.end(), s.link.dataBuffer.begin() + 2);
}

Bytes Float(float v) {
    std::uint8_t b[4];
    std::memcpy(b, &v, 4);
    return {b[3], b[2], b[1], b[0]};
}

float SentFloat(const Bytes& request, std::size_t at) {
    const std::uint32_t bits = static_cast<std::uint32_t>(request[at]) << 24 |
                               static_cast<std::uint32_t>(request[at + 1]) << 16 |
                               static_cast<std::uint32_t>(request[at + 2]) << 8 | request[at + 3];
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}

DeviceState TypeKSession() {
    DeviceState s;
    s.record.upperSensorLimit = 1372.0;
    s.record.lowerSensorLimit = -180.0;
    s.record.minimumSpan = 50.0;
    s.writes.unitCode = 32;
    return s;
}

}  // namespace

TEST(PvRangeWrite, RangeEndsOnSensorLimitsGoJustInside) {
    struct Row {
        const char* name;
        const char* upper;
        const char* lower;
        float sentUpper;
        float sentLower;
    };
    const Row rows[] = {
        {"upper on the limit", "1372.000", "0", 1371.9999f, 0.0f},
        {"upper typed without decimals", "1372", "100", 1371.9999f, 100.0f},
        {"both on the limits", "1372", "-180", 1371.9999f, -179.9999f},
        {"minimum span keeps its span", "1372", "1322", 1371.9999f, 1321.9999f},
        {"lower on the lower limit, minimum span", "-130", "-180", -129.9999f, -179.9999f},
        {"reversed range on the limits", "-180", "1372", -179.9999f, 1371.9999f},
        {"inside the limits untouched", "1000.5", "-100.25", 1000.5f, -100.25f},
    };
    for (const Row& row : rows) {
        DeviceState s = TypeKSession();
        s.writes.upperRangeText = row.upper;
        s.writes.lowerRangeText = row.lower;
        const Bytes request = RequestBytes(s, 35);
        ASSERT_EQ(request.size(), 9u);
        EXPECT_EQ(request[0], 32) << row.name;
        EXPECT_EQ(SentFloat(request, 1), row.sentUpper) << row.name;
        EXPECT_EQ(SentFloat(request, 5), row.sentLower) << row.name;
    }
}

TEST(PvRangeWrite, LimitsAreComparedAtThreeDecimals) {
    DeviceState s = TypeKSession();
    s.record.upperSensorLimit = 1371.99961;  // shows as 1372.000
    s.writes.upperRangeText = "1372.000";
    s.writes.lowerRangeText = "0";
    EXPECT_EQ(SentFloat(RequestBytes(s, 35), 1), 1371.9999f);
    // The sensor range write follows the same rule.
    s.writes.sensorUpperRangeText = "1372";
    s.writes.sensorLowerRangeText = "-180";
    const Bytes request = RequestBytes(s, 151);
    EXPECT_EQ(SentFloat(request, 1), 1371.9999f);
    EXPECT_EQ(SentFloat(request, 5), -179.9999f);
}

TEST(TablePoints, EndMarkerCarriesZeroValues) {
    DeviceState s;
    s.writes.customTable.valueTexts[0] = "12.5";
    s.pointIndex = kEndOfTableIndex;
    EXPECT_EQ(RequestBytes(s, 193), (Bytes{0x27, 0x0F, 0, 0, 0, 0}));
    EXPECT_EQ(RequestBytes(s, 197), (Bytes{0x27, 0x0F, 0, 0, 0, 0}));
    EXPECT_EQ(RequestBytes(s, 189), (Bytes{0x27, 0x0F, 0, 0, 0, 0, 0, 0, 0, 0}));

    s.pointIndex = 0;
    EXPECT_EQ(RequestBytes(s, 193), (Bytes{0x00, 0x00, 0x41, 0x48, 0x00, 0x00}));
    s.writes.specialCurve.xTexts[1] = "50";
    s.writes.specialCurve.yTexts[1] = "-15";
    s.pointIndex = 1;
    const Bytes curve = RequestBytes(s, 189);
    EXPECT_EQ(SentFloat(curve, 2), 0.5f);
    EXPECT_EQ(SentFloat(curve, 6), -0.15f);
}

TEST(TablePoints, AnswersStoreAtTheirIndexAndIgnoreIndicesOutsideTheTable) {
    DeviceState s;
    Bytes answer{0x00, 0x03};
    for (auto b : Float(0.5f)) answer.push_back(b);
    for (auto b : Float(0.25f)) answer.push_back(b);
    SetAnswer(s, 188, answer);
    ASSERT_TRUE(DecodeAnswer(s, *FindCommand(188)));
    EXPECT_DOUBLE_EQ(s.record.specialCurve.x[3], 50.0);
    EXPECT_DOUBLE_EQ(s.record.specialCurve.y[3], 25.0);
    EXPECT_EQ(s.pointIndex, 3);

    // Index 125 lies past the special curve, 250 past the custom table.
    answer[0] = 0x00;
    answer[1] = 125;
    SetAnswer(s, 188, answer);
    EXPECT_TRUE(DecodeAnswer(s, *FindCommand(188)));
    EXPECT_EQ(s.pointIndex, 3);
    Bytes point{0x00, 0xFA, 0x41, 0x48, 0, 0};
    SetAnswer(s, 192, point);
    EXPECT_TRUE(DecodeAnswer(s, *FindCommand(192)));
    Bytes negative{0xFF, 0xFF, 0x41, 0x48, 0, 0};
    SetAnswer(s, 192, negative);
    EXPECT_TRUE(DecodeAnswer(s, *FindCommand(192)));
    EXPECT_EQ(s.pointIndex, 3);

    // The end marker stores nothing and becomes the current index.
    Bytes marker{0x27, 0x0F, 0x41, 0x48, 0, 0};
    s.record.customTable.values.fill(0.0);
    SetAnswer(s, 193, marker);
    EXPECT_TRUE(DecodeAnswer(s, *FindCommand(193)));
    EXPECT_EQ(s.pointIndex, kEndOfTableIndex);
    for (double v : s.record.customTable.values) EXPECT_EQ(v, 0.0);
}

TEST(TableHeaders, SignedMinimumAndUnsignedStep) {
    DeviceState s;
    SetAnswer(s, 190, {0x00, 0x01, 0x00, 0x0A, 0xFA, 0xFF, 0x92, 0x01});
    ASSERT_TRUE(DecodeAnswer(s, *FindCommand(190)));
    EXPECT_EQ(s.record.customTable.headerWord, 1);
    EXPECT_EQ(s.record.customTable.size, 10);
    EXPECT_DOUBLE_EQ(s.record.customTable.step, 250.0);
    EXPECT_DOUBLE_EQ(s.record.customTable.minimum, -110.0);
    EXPECT_EQ(s.record.customTable.status, 1);

    s.writes.customTable.size = 10;
    s.writes.customTable.stepText = "5";
    s.writes.customTable.minimumText = "-110";
    EXPECT_EQ(RequestBytes(s, 191), (Bytes{0x00, 0x0A, 0x05, 0xFF, 0x92, 0, 0, 0}));
}

TEST(Commands, DynamicVariablesAlwaysInMilliamps) {
    DeviceState s;
    Bytes answer = Float(12.0f);
    answer.push_back(32);
    for (auto b : Float(25.0f)) answer.push_back(b);
    answer.push_back(33);
    for (auto b : Float(74.0f)) answer.push_back(b);
    SetAnswer(s, 3, answer);
    ASSERT_TRUE(DecodeAnswer(s, *FindCommand(3)));
    EXPECT_EQ(s.record.loopCurrentUnit, 39);
    EXPECT_DOUBLE_EQ(s.record.pvValue, 25.0);
    EXPECT_EQ(s.record.svUnit, 33);
}

TEST(Commands, ShortAnswersAreNotDecodedFromStaleBytes) {
    DeviceState s;
    s.record.damping = 7.0;
    SetAnswer(s, 15, {0, 0, 32});  // fifteen data bytes expected
    EXPECT_FALSE(DecodeAnswer(s, *FindCommand(15)));
    EXPECT_DOUBLE_EQ(s.record.damping, 7.0);
}

TEST(Commands, UnsetRequestBytesGoOutAsZeros) {
    DeviceState s;
    s.link.dataBuffer.fill(0xEE);  // the previous answer
    s.writes.trimSensorNo = 2;
    EXPECT_EQ(RequestBytes(s, 152), (Bytes{2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(RequestBytes(s, 149), (Bytes{1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(Commands, TagDescriptorDateRequest) {
    DeviceState s;
    s.writes.tag = "AB      ";
    s.writes.descriptor = "                ";
    s.writes.date = "2026/12/07";
    const Bytes request = RequestBytes(s, 18);
    ASSERT_EQ(request.size(), 21u);
    // "AB  " packs to 04 08 20; four blanks to 82 08 20.
    EXPECT_EQ(Bytes(request.begin(), request.begin() + 6),
              (Bytes{0x04, 0x28, 0x20, 0x82, 0x08, 0x20}));
    EXPECT_EQ(Bytes(request.begin() + 18, request.end()), (Bytes{7, 12, 126}));
}
