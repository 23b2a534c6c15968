#include "monitor/GraphMath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <set>
#include <tuple>

namespace qt40 {
namespace {

// Worked out by hand: the span normalised into (2, 20], then the table of
// multipliers, divisions and minor ticks.
struct StepRow {
    const char* name;
    double span;
    int multiplier;
    int divisions;
    int minorTicks;
    double step;
};

class GraphStepsTest : public ::testing::TestWithParam<StepRow> {};

TEST_P(GraphStepsTest, MatchesTheHandWorkedTable) {
    const StepRow& row = GetParam();
    const auto steps = GraphStepsFor(row.span);
    ASSERT_TRUE(steps);
    EXPECT_EQ(steps->multiplier, row.multiplier);
    EXPECT_EQ(steps->labelledDivisions, row.divisions);
    EXPECT_EQ(steps->minorTicks, row.minorTicks);
    EXPECT_NEAR(steps->step, row.step, row.step * 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Spans, GraphStepsTest,
                         ::testing::Values(StepRow{"tenth", 0.1, 2, 5, 8, 0.02},  // c = 10
                                           StepRow{"one", 1.0, 2, 5, 8, 0.2},     // c = 10
                                           StepRow{"three_point_three", 3.3, 1, 4, 20, 1.0},
                                           StepRow{"seven", 7.0, 2, 4, 16, 2.0},
                                           StepRow{"nineteen", 19.0, 4, 5, 8, 4.0},
                                           StepRow{"one_fifty", 150.0, 4, 4, 16, 40.0},  // c = 15
                                           StepRow{"three_thousand", 3000.0, 1, 3, 20, 1000.0},
                                           StepRow{"two_is_twenty_tenths", 2.0, 4, 5, 8, 0.4},
                                           StepRow{"twenty_stays", 20.0, 4, 5, 8, 4.0},
                                           StepRow{"just_above_five", 5.5, 2, 3, 16, 2.0},
                                           StepRow{"minor_boundary", 3.38, 1, 4, 8, 1.0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GraphStepsTest, AnEmptyOrUndefinedSpanHasNoSteps) {
    for (double span : {0.0, -1.0, std::nan(""), HUGE_VAL}) EXPECT_FALSE(GraphStepsFor(span));
}

TEST(GraphLabelTest, FirstLabelAndGrid) {
    EXPECT_EQ(GraphFirstLabel(0.35), 0.0);
    EXPECT_EQ(GraphFirstLabel(7.9), 7.0);
    EXPECT_EQ(GraphFirstLabel(10.5), 10.0);  // magnitude 10 is not beyond 10
    EXPECT_EQ(GraphFirstLabel(23.7), 20.0);
    EXPECT_EQ(GraphFirstLabel(-23.7), -20.0);
    EXPECT_EQ(GraphFirstLabel(-7.5), -7.0);
    EXPECT_EQ(GraphFirstLabel(1234.5), 1230.0);

    // Counted from 20 in steps of 4: 24 … 40, all inside the axis.
    EXPECT_EQ(GraphGridValues(23.7, 40.0, 4.0), (std::vector<double>{24, 28, 32, 36, 40}));
    // Counted from -20 downwards too, so a negative axis is gridded to its foot.
    EXPECT_EQ(GraphGridValues(-23.7, -15.0, 2.0), (std::vector<double>{-22, -20, -18, -16}));
    // A step far too small for its axis is cut off, not looped through.
    EXPECT_EQ(GraphGridValues(0.0, 1e6, 1e-6).size(), 200u);
    EXPECT_TRUE(GraphGridValues(0.0, 1.0, 0.0).empty());
}

TEST(GraphRangeTest, ConstantValuesGetARangeBelowThemExceptZero) {
    EXPECT_EQ(SeparateLimits({5.0, 5.0}), (AxisRange{4.5, 5.0}));
    EXPECT_EQ(SeparateLimits({0.0, 0.0}), (AxisRange{0.0, 0.0}));
    // A negative constant moves down as well; moved "by a tenth of itself"
    // it would land above the upper limit.
    EXPECT_EQ(SeparateLimits({-5.0, -5.0}), (AxisRange{-5.5, -5.0}));
    EXPECT_EQ(SeparateLimits({1.0, 3.0}), (AxisRange{1.0, 3.0}));
}

struct WidenRow {
    const char* name;
    AxisRange range;
    double step;
    double smallest;
    double largest;
    AxisRange expected;
};

class WidenValueTest : public ::testing::TestWithParam<WidenRow> {};

TEST_P(WidenValueTest, WholeStepsAndNoSampleLost) {
    const WidenRow& row = GetParam();
    const AxisRange widened = WidenValueAxis(row.range, row.step, row.smallest, row.largest);
    EXPECT_NEAR(widened.lower, row.expected.lower, 1e-9);
    EXPECT_NEAR(widened.upper, row.expected.upper, 1e-9);
    EXPECT_LT(widened.lower, row.smallest);
    EXPECT_GT(widened.upper, row.largest);
}

INSTANTIATE_TEST_SUITE_P(Values, WidenValueTest,
                         ::testing::Values(
                             // Inside: nothing moves.
                             WidenRow{"inside", {0, 10}, 2, 1, 9, {0, 10}},
                             // 13 above 0 … 10 by steps of 2: 12, then 14.
                             WidenRow{"above", {0, 10}, 2, 1, 13, {0, 14}},
                             // A value on the upper limit counts as beyond it.
                             WidenRow{"on_upper", {0, 10}, 2, 1, 10, {0, 12}},
                             WidenRow{"below", {0, 10}, 2, -3, 9, {-4, 10}},
                             // Found at once, not in half a million rounds.
                             WidenRow{"far_above", {0, 10}, 2, 1, 1e6, {0, 1000002}},
                             // Snapping the upper limit to the step would leave 5.3 above it.
                             WidenRow{"snap_keeps_samples", {0, 5.4}, 1, -0.5, 5.3, {-1, 6}},
                             // An empty axis has no step of its own: the samples' span gives one.
                             WidenRow{"empty_axis", {0, 0}, 0, 0, 5, {-1, 6}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WidenTimeTest, HalfStepsPastTheLatestSample) {
    EXPECT_NEAR(WidenTimeAxis({0, 0.6}, 0.2, 0.6).upper, 0.7, 1e-12);
    EXPECT_NEAR(WidenTimeAxis({0, 0.6}, 0.2, 0.65).upper, 0.7, 1e-12);
    EXPECT_NEAR(WidenTimeAxis({0, 0.6}, 0.2, 5.0).upper, 5.1, 1e-12);
    EXPECT_EQ(WidenTimeAxis({0, 0.6}, 0.2, 0.5), (AxisRange{0, 0.6}));
    // Never narrows the lower limit.
    EXPECT_EQ(WidenTimeAxis({0, 0.6}, 0.2, 0.9).lower, 0.0);
}

TEST(SampleSeriesTest, RangeExtremesAgreeWithAFullScan) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-100.0, 100.0);
    SampleSeries series;
    std::vector<double> y;
    for (int n = 0; n < 300; ++n) {
        const double v = value(random);
        series.Append(n * 0.2, v);
        y.push_back(v);
        std::uniform_int_distribution<std::size_t> pick(0, y.size() - 1);
        for (int probe = 0; probe < 5; ++probe) {
            std::size_t a = pick(random);
            std::size_t b = pick(random);
            if (a > b) std::swap(a, b);
            const MinMax got = series.YRange(a, b + 1);
            EXPECT_EQ(got.min, *std::min_element(y.begin() + a, y.begin() + b + 1));
            EXPECT_EQ(got.max, *std::max_element(y.begin() + a, y.begin() + b + 1));
        }
    }
    EXPECT_EQ(series.YExtent().min, *std::min_element(y.begin(), y.end()));
    EXPECT_EQ(series.XExtent().max, 299 * 0.2);
    EXPECT_TRUE(series.XAscending());
    series.Append(1.0, 0.0);
    EXPECT_FALSE(series.XAscending());
    series.Clear();
    EXPECT_TRUE(series.Empty());
    EXPECT_TRUE(series.XAscending());
}

// What a set of lines puts on the pixels: per column the rows covered by its
// vertical lines and by the ends of lines that cross into it, and the lines
// that cross columns themselves.
struct Coverage {
    std::map<int, std::pair<int, int>> rows;
    std::multiset<std::tuple<int, int, int, int>> crossing;
    bool operator==(const Coverage&) const = default;
};

Coverage CoverageOf(const std::vector<PixelLine>& lines) {
    Coverage c;
    const auto cover = [&](int x, int y0, int y1) {
        auto [it, fresh] = c.rows.try_emplace(x, std::min(y0, y1), std::max(y0, y1));
        if (!fresh) {
            it->second.first = std::min({it->second.first, y0, y1});
            it->second.second = std::max({it->second.second, y0, y1});
        }
    };
    for (const PixelLine& l : lines) {
        if (l.x1 == l.x2) {
            cover(l.x1, l.y1, l.y2);
        } else {
            cover(l.x1, l.y1, l.y1);
            cover(l.x2, l.y2, l.y2);
            c.crossing.insert({l.x1, l.y1, l.x2, l.y2});
        }
    }
    return c;
}

TEST(CurveLinesTest, ALongCurveDrawsTheSamePixelsWithLinesPerColumn) {
    const PlotMapping map{60, 505, 345, 0.0, 445.0 / 2000.0, -3.0, 345.0 / 6.0};
    std::mt19937 random(11);
    std::normal_distribution<double> noise(0.0, 0.4);
    SampleSeries series;
    for (int i = 0; i < 20000; ++i) {
        // Runs of equal times too: several polls in one millisecond.
        series.Append(std::floor(i / 3.0) * 0.3, std::sin(i * 0.001) * 2.0 + noise(random));
    }
    std::vector<PixelLine> every;
    for (std::size_t i = 1; i < series.Size(); ++i) {
        every.push_back({map.PixelX(series.X()[i - 1]), map.PixelY(series.Y()[i - 1]),
                         map.PixelX(series.X()[i]), map.PixelY(series.Y()[i])});
    }
    const std::vector<PixelLine> reduced = CurveLines(series, map);
    EXPECT_EQ(CoverageOf(reduced), CoverageOf(every));
    EXPECT_LE(reduced.size(), 2u * 446u);

    // A short curve, or one whose x goes back, is drawn segment by segment.
    SampleSeries table;
    table.Assign({0, 10, 5, 20}, {1, 2, 3, 4});
    EXPECT_EQ(CurveLines(table, map).size(), 3u);
}

TEST(CurveLinesTest, FarOffOrUndefinedValuesStayInPixelRange) {
    const PlotMapping map{60, 505, 345, 0.0, 1.0, 0.0, 1.0};
    EXPECT_EQ(map.PixelY(-1e300), 1000000);
    EXPECT_EQ(map.PixelY(1e300), -1000000);
    EXPECT_EQ(map.PixelY(std::nan("")), 1000000);
}

// A failed sensor reads NaN, and a device may send infinity: the sample is
// kept with its time, but no extent, range, curve line or saved number comes
// from it, and the scale goes on following the finite samples.
TEST(SampleSeriesTest, NonFiniteReadingsTakeNoPartInRangesCurvesOrFiles) {
    const double nan = std::nan("");
    const double inf = HUGE_VAL;
    SampleSeries series;
    for (auto [x, y] : std::vector<std::pair<double, double>>{
             {0, nan}, {1, 10}, {2, 12}, {3, nan}, {4, inf}, {5, 11}, {6, -inf}, {7, 9}, {8, 13}}) {
        series.Append(x, y);
    }
    EXPECT_EQ(series.Size(), 9u);
    EXPECT_EQ(series.FiniteCount(), 5u);
    EXPECT_EQ(series.YExtent().min, 9.0);
    EXPECT_EQ(series.YExtent().max, 13.0);
    EXPECT_EQ(series.XExtent().min, 1.0);
    EXPECT_EQ(series.XExtent().max, 8.0);
    EXPECT_TRUE(series.XAscending());
    EXPECT_EQ(series.YRange(0, 9).min, 9.0);
    EXPECT_EQ(series.YRange(0, 9).max, 13.0);
    EXPECT_GT(series.YRange(3, 5).min, series.YRange(3, 5).max);  // nothing finite there
    EXPECT_EQ(series.YRange(2, 6).min, 11.0);

    const AxisRange widened = WidenValueAxis({10.0, 12.0}, 1.0, series.YExtent().min,
                                             series.YExtent().max);
    EXPECT_EQ(widened, (AxisRange{8.0, 14.0}));

    // Gaps where a reading is missing; a finite sample between two gaps is a dot.
    const PlotMapping map{60, 505, 345, 0.0, 10.0, 0.0, 10.0};
    const auto at = [&](double x, double y) { return std::pair{map.PixelX(x), map.PixelY(y)}; };
    const auto line = [&](double x1, double y1, double x2, double y2) {
        return PixelLine{at(x1, y1).first, at(x1, y1).second, at(x2, y2).first, at(x2, y2).second};
    };
    EXPECT_EQ(CurveLines(series, map),
              (std::vector<PixelLine>{line(1, 10, 2, 12), line(5, 11, 5, 11), line(7, 9, 8, 13)}));

    const auto csv = GraphCsvLines("Time (s)", "PV", series);
    EXPECT_EQ(csv[1], "0,");
    EXPECT_EQ(csv[2], "1,10");
    EXPECT_EQ(csv[5], "4,");
    EXPECT_EQ(csv[7], "6,");
}

// A long curve drawn column by column leaves the columns of a run of NaN
// readings empty, and joins nothing across them.
TEST(CurveLinesTest, ALongCurveLeavesTheColumnsOfAGapEmpty) {
    const PlotMapping map{60, 159, 345, 0.0, 100.0 / 5000.0, -2.0, 345.0 / 4.0};
    SampleSeries series;
    for (int i = 0; i < 5000; ++i) {
        series.Append(i, i >= 2000 && i < 3000 ? std::nan("") : std::sin(i * 0.01));
    }
    const std::vector<PixelLine> lines = CurveLines(series, map);
    ASSERT_FALSE(lines.empty());
    EXPECT_LE(lines.size(), 2u * 100u);
    const int first = map.PixelX(2000);
    const int last = map.PixelX(2999);
    for (const PixelLine& l : lines) {
        EXPECT_TRUE(std::max(l.x1, l.x2) < first || std::min(l.x1, l.x2) > last)
            << l.x1 << ".." << l.x2;
        EXPECT_LT(std::max(std::abs(l.y1), std::abs(l.y2)), 1000);
    }
}

TEST(GraphCsvTest, HeaderQuotedWhereNeededAndNumbersInFull) {
    SampleSeries series;
    series.Append(0.0, 23.5);
    series.Append(0.25, -1.0e-7);
    series.Append(1234.5, 123456.789);
    EXPECT_EQ(GraphCsvLines("Time (s)", "PV (degC)", series),
              (std::vector<std::string>{"Time (s),PV (degC)", "0,23.5", "0.25,-1e-07",
                                        "1234.5,123456.789"}));
    EXPECT_EQ(GraphCsvLines("a,b", "say \"x\"", SampleSeries{}).front(),
              "\"a,b\",\"say \"\"x\"\"\"");
}

TEST(ValueAxisLabelBoxTest, OneBoxEndingAtTheEdgeInsideTheControl) {
    // (text width, end, grid row, rise) -> box
    EXPECT_EQ(ValueAxisLabelBox(24, 54, 100, 10), (AxisLabelBox{30, 90, 24}));
    EXPECT_EQ(ValueAxisLabelBox(24, 54, 4, 10), (AxisLabelBox{30, 0, 24})) << "the top label";
    EXPECT_EQ(ValueAxisLabelBox(70, 54, 100, 10), (AxisLabelBox{0, 90, 70})) << "wider than room";
    EXPECT_EQ(ValueAxisLabelBox(0, 54, 100, 10), (AxisLabelBox{54, 90, 0}));
}

}  // namespace
}  // namespace qt40
