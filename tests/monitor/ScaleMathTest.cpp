#include "monitor/ScaleMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace qt40 {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct NormaliseRow {
    const char* name;
    double span;
    double mantissa;
    int power;
};

class NormaliseSpanTest : public ::testing::TestWithParam<NormaliseRow> {};

TEST_P(NormaliseSpanTest, LandsInTwoToTwenty) {
    const NormaliseRow& row = GetParam();
    const auto result = NormaliseSpan(row.span);
    ASSERT_TRUE(result);
    EXPECT_NEAR(result->mantissa, row.mantissa, 1e-9);
    EXPECT_EQ(result->power, row.power);
}

INSTANTIATE_TEST_SUITE_P(Spans, NormaliseSpanTest,
                         ::testing::Values(NormaliseRow{"Hundred", 100, 10, 1},
                                           NormaliseRow{"Sixteen", 16, 16, 0},
                                           NormaliseRow{"TwentyStays", 20, 20, 0},
                                           NormaliseRow{"TwentyOneDrops", 21, 2.1, 1},
                                           NormaliseRow{"TwoRises", 2, 20, -1},
                                           NormaliseRow{"Half", 0.5, 5, -1},
                                           NormaliseRow{"Thousand", 1000, 10, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NormaliseSpanTest, RefusesSpansThatNeverNormalise) {
    for (double span : {0.0, -1.0, kNaN, kInf}) EXPECT_FALSE(NormaliseSpan(span)) << span;
}

struct StepsRow {
    const char* name;
    double upper;
    double lower;
    int multiplier;
    int subdivisions;
    int labelledSteps;
    double step;
};

class StepsTest : public ::testing::TestWithParam<StepsRow> {};

TEST_P(StepsTest, MultiplierSubdivisionsAndStep) {
    const StepsRow& row = GetParam();
    const auto steps = StepsFor(row.upper, row.lower);
    ASSERT_TRUE(steps);
    EXPECT_EQ(steps->multiplier, row.multiplier);
    EXPECT_EQ(steps->subdivisions, row.subdivisions);
    EXPECT_EQ(steps->labelledSteps, row.labelledSteps);
    EXPECT_NEAR(steps->step, row.step, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Ranges, StepsTest,
                         ::testing::Values(StepsRow{"Percent", 100, 0, 2, 4, 4, 20},
                                           StepsRow{"LoopCurrent", 20, 4, 4, 8, 3, 4},
                                           StepsRow{"Terminal", 100, -40, 4, 8, 3, 40},
                                           StepsRow{"PvDefault", 1000, 0, 2, 4, 4, 200},
                                           StepsRow{"ThreeFine", 3, 0, 1, 10, 2, 1},
                                           StepsRow{"FourCoarse", 4, 0, 1, 4, 3, 1},
                                           StepsRow{"EightFine", 8, 0, 2, 8, 3, 2},
                                           StepsRow{"NineCoarse", 9, 0, 2, 4, 4, 2},
                                           StepsRow{"SeventeenCoarse", 17, 0, 4, 4, 4, 4},
                                           StepsRow{"HalfUnit", 0.5, 0, 1, 4, 4, 0.1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StepsTest, EmptyReversedOrNonFiniteRangeHasNoSteps) {
    EXPECT_FALSE(StepsFor(5, 5));
    EXPECT_FALSE(StepsFor(0, 100));
    EXPECT_FALSE(StepsFor(kNaN, 0));
    EXPECT_FALSE(StepsFor(kInf, 0));
}

TEST(LabelTest, FirstLabelCountsFromTheIntegerBelow) {
    EXPECT_EQ(FirstLabelValue(0), 0);
    EXPECT_EQ(FirstLabelValue(4.7), 4);
    EXPECT_EQ(FirstLabelValue(-40), -40);
    EXPECT_EQ(FirstLabelValue(-40.5), -41);
    EXPECT_EQ(FirstLabelValue(-0.5), -1);
}

TEST(LabelTest, LabelsLieStrictlyInsideTheLimits) {
    EXPECT_EQ(LabelValues(100, 0), (std::vector<double>{20, 40, 60, 80}));
    EXPECT_EQ(LabelValues(20, 4), (std::vector<double>{8, 12, 16}));
    EXPECT_EQ(LabelValues(100, -40), (std::vector<double>{0, 40, 80}));
    EXPECT_TRUE(LabelValues(4, 4).empty());
    EXPECT_TRUE(LabelValues(4, 20).empty());
}

TEST(LabelTest, SubUnitStepsSkipLabelsBelowTheLowerLimit) {
    // Counting from the integer part alone would put every label below 0.7.
    const std::vector<double> values = LabelValues(1.2, 0.7);
    ASSERT_EQ(values.size(), 4u);
    EXPECT_NEAR(values.front(), 0.8, 1e-9);
    EXPECT_NEAR(values.back(), 1.1, 1e-9);
}

TEST(LabelTest, Texts) {
    EXPECT_EQ(ScaleLabelText(100), "100");
    EXPECT_EQ(ScaleLabelText(-40), "-40");
    EXPECT_EQ(ScaleLabelText(0.5), "0.50");
    EXPECT_EQ(ScaleLabelText(0.1 * 3), "0.30");
    EXPECT_EQ(ScaleLabelText(0.1 + 0.2 + 0.7), "1");
    EXPECT_EQ(ScaleLabelText(-0.0), "0");
    EXPECT_EQ(ValueText(-0.001), "0.00");
    EXPECT_EQ(ValueText(-0.004999), "0.00");
    EXPECT_EQ(ValueText(-0.006), "-0.01");
    EXPECT_EQ(ValueText(1.5), "1.50");
    // A reading that is no number is shown as such, whatever its sign bit.
    EXPECT_EQ(ValueText(std::nan("")), "nan");
    EXPECT_EQ(ValueText(-std::nan("")), "nan");
    EXPECT_EQ(ValueText(HUGE_VAL), "inf");
    EXPECT_EQ(ValueText(-HUGE_VAL), "-inf");
}

TEST(GeometryTest, PlainAndThermometerBars) {
    const BarGeometry plain = PlainBarGeometry(102, 357);
    EXPECT_EQ(plain.left, 67);
    EXPECT_EQ(plain.right, 97);
    EXPECT_EQ(plain.top, 15);
    EXPECT_EQ(plain.bottom, 317);
    const BarGeometry thermometer = ThermometerBarGeometry(102, 357);
    EXPECT_EQ(thermometer.left, 70);
    EXPECT_EQ(thermometer.right, 85);
    EXPECT_EQ(thermometer.bottom, 299);
    EXPECT_EQ(thermometer.labelColumn, 65);
}

TEST(FillTest, FillTopFollowsTheValue) {
    const BarSpan bar{15, 301};  // 286 rows
    EXPECT_EQ(FillTop(50, 100, 0, bar), 158);
    EXPECT_EQ(FillTop(100, 100, 0, bar), 15);
    EXPECT_EQ(FillTop(150, 100, 0, bar), 15) << "above upper fills the whole bar";
    EXPECT_EQ(FillTop(0.001, 100, 0, bar), 300) << "just above lower fills one row";
    EXPECT_FALSE(FillTop(0, 100, 0, bar)) << "at lower fills nothing";
    EXPECT_FALSE(FillTop(-5, 100, 0, bar));
    EXPECT_FALSE(FillTop(kNaN, 100, 0, bar));
}

TEST(FillTest, EmptyOrReversedRangeFillsNothing) {
    const BarSpan bar{15, 301};
    EXPECT_FALSE(FillTop(10, 5, 5, bar));
    EXPECT_FALSE(FillTop(50, 0, 100, bar));
    EXPECT_FALSE(FillTop(50, kNaN, 0, bar));
    EXPECT_FALSE(ValueRow(50, 5, 5, bar));
}

TEST(MarksTest, TicksAtEverySubdivisionLongerAtLabelsAndMiddles) {
    const ScaleMarks marks = ScaleMarksFor(100, 0, {15, 301});
    // Steps of 20 in 4 subdivisions: every 5 from 5 to 95.
    ASSERT_EQ(marks.ticks.size(), 19u);
    EXPECT_EQ(marks.ticks.front().row, *ValueRow(5, 100, 0, {15, 301}));
    EXPECT_EQ(marks.ticks.front().length, 8);
    EXPECT_EQ(marks.ticks[1].length, 12);  // 10: middle of the step
    EXPECT_EQ(marks.ticks[3].length, 12);  // 20: labelled
    ASSERT_EQ(marks.labels.size(), 4u);
    EXPECT_EQ(marks.labels[0].text, "20");
    EXPECT_EQ(marks.labels[0].row, 243);
    EXPECT_EQ(marks.labels[3].text, "80");
}

TEST(MarksTest, LabelsNearALimitAreLeftOutButTheirTicksStay) {
    // 30 rows for 0..100: 20 lies 6 rows above the bottom, 80 6 below the top.
    const ScaleMarks marks = ScaleMarksFor(100, 0, {15, 45});
    EXPECT_EQ(marks.ticks.size(), 19u);
    ASSERT_EQ(marks.labels.size(), 2u);
    EXPECT_EQ(marks.labels[0].text, "40");
    EXPECT_EQ(marks.labels[1].text, "60");
}

TEST(MarksTest, EmptyOrReversedRangeHasNoMarks) {
    EXPECT_TRUE(ScaleMarksFor(4, 4, {15, 301}).ticks.empty());
    EXPECT_TRUE(ScaleMarksFor(4, 20, {15, 301}).ticks.empty());
    EXPECT_TRUE(ScaleMarksFor(4, 20, {15, 301}).labels.empty());
}

TEST(MarksTest, ATinySpanFarFromZeroStaysBounded) {
    const ScaleMarks marks = ScaleMarksFor(1000.000002, 1000.000001, {15, 301});
    EXPECT_FALSE(marks.ticks.empty());
    EXPECT_LE(marks.ticks.size(), 60u);
}

TEST(ScaleTextTest, CutConvertCheckAndRestore) {
    EXPECT_EQ(CutScaleText("123456789"), "12345678");
    EXPECT_EQ(CutScaleText("-40"), "-40");
    EXPECT_EQ(ScaleTextValue("12345678"), 12345678);
    EXPECT_EQ(ScaleTextValue(" -4.5"), -4.5);
    EXPECT_EQ(ScaleTextValue("12.5.3"), 12.5);
    EXPECT_EQ(ScaleTextValue("-"), 0);
    EXPECT_EQ(ScaleTextValue(""), 0);
    EXPECT_TRUE(ScaleTextAllowed(" +1.5-"));
    EXPECT_TRUE(ScaleTextAllowed(""));
    EXPECT_FALSE(ScaleTextAllowed("12a"));
    EXPECT_FALSE(ScaleTextAllowed("1e5"));
    EXPECT_FALSE(ScaleTextAllowed("1,5"));
    EXPECT_EQ(RestoredScaleText(20), "20");
    EXPECT_EQ(RestoredScaleText(-40), "-40");
    EXPECT_EQ(RestoredScaleText(19.6), "20");
}

TEST(ScaleLabelFitTest, LabelsStartInsideTheControlAndShrinkToTheirRoom) {
    EXPECT_EQ(LabelLeft(20, 53), 33);
    EXPECT_EQ(LabelLeft(53, 53), 0);
    EXPECT_EQ(LabelLeft(70, 53), 0) << "never left of the edge";
    // Width grows with the size, 3 pixels a size: the largest that fits wins.
    const auto width = [](int size) { return 3 * size; };
    EXPECT_EQ(FittingSize(17, 11, 60, width), 17);
    EXPECT_EQ(FittingSize(17, 11, 50, width), 16);
    EXPECT_EQ(FittingSize(17, 11, 34, width), 11);
    EXPECT_EQ(FittingSize(17, 11, 10, width), 11) << "nothing fits: the smallest";
}

TEST(ScaleLabelFitTest, TerminalDefaultScaleInEachTemperatureUnit) {
    const struct {
        const char* unit;
        double upper;
        double lower;
    } rows[] = {{"degC", 100, -40},
                {"degF", 212, -40},
                {"degR", 671.67, 419.67},
                {"Kelvin", 373.15, 233.15}};
    for (const auto& row : rows) {
        const auto scale = TerminalScaleDefault(row.unit);
        ASSERT_TRUE(scale) << row.unit;
        EXPECT_NEAR(scale->upper, row.upper, 1e-9) << row.unit;
        EXPECT_NEAR(scale->lower, row.lower, 1e-9) << row.unit;
    }
    for (const char* other : {"mV", "ohm", "K", "", "33"}) {
        EXPECT_FALSE(TerminalScaleDefault(other)) << other;
    }
}

}  // namespace
}  // namespace qt40
