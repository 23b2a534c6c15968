#include "monitor/CTemperature.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <vector>

#include "tests/monitor/MonitorTestApp.h"

namespace qt40 {
namespace {

class TemperatureTest : public ::testing::Test {
protected:
    void SetUp() override { MonitorTestApp(); }

    // A bar of the monitor's size, initialised and drawn with `value`.
    static void Draw(CTemperature& bar, double upper, double lower, double value,
                     const QColor& color) {
        bar.resize(102, 357);
        bar.Initialise();
        bar.SetScale(upper, lower);
        bar.DrawScale();
        bar.DrawValue(value, color, QStringLiteral("x"));
    }

    static QColor Pixel(const CTemperature& bar, int x, int y) {
        return QColor(bar.Image().pixel(x, y));
    }

    // Rows of the bar's inside column that carry `color`.
    static int RowsOf(const CTemperature& bar, const QColor& color) {
        const BarGeometry g = bar.Geometry();
        int rows = 0;
        for (int y = g.top; y < g.bottom; ++y) rows += Pixel(bar, g.left + 5, y) == color;
        return rows;
    }
};

TEST_F(TemperatureTest, HalfScaleFillsFromTheMiddleRow) {
    CTemperature bar(CTemperature::Style::Plain);
    Draw(bar, 100, 0, 50, CTemperature::Green());
    const BarGeometry g = bar.Geometry();  // rows 15..317
    const int top = 15 + (317 - 15) / 2;
    EXPECT_EQ(Pixel(bar, g.left + 5, top), CTemperature::Green());
    EXPECT_EQ(Pixel(bar, g.left + 5, top - 1), CTemperature::Background());
    EXPECT_EQ(Pixel(bar, g.left + 5, g.bottom - 1), CTemperature::Green());
    EXPECT_EQ(Pixel(bar, g.left + 5, g.bottom), QColor(Qt::white)) << "the bottom tick row";
    // The outline stays white beside the fill.
    EXPECT_EQ(Pixel(bar, g.left, top + 10), QColor(Qt::white));
}

TEST_F(TemperatureTest, OverfullValueFillsTheWholeBarAndLowerFillsNothing) {
    CTemperature bar(CTemperature::Style::Plain);
    Draw(bar, 20, 4, 25, CTemperature::Green());
    const BarGeometry g = bar.Geometry();
    EXPECT_EQ(RowsOf(bar, CTemperature::Green()), g.bottom - g.top);

    Draw(bar, 20, 4, 4, CTemperature::Green());
    EXPECT_EQ(RowsOf(bar, CTemperature::Green()), 0);
}

TEST_F(TemperatureTest, EmptyAndReversedRangesDrawNoFill) {
    CTemperature bar(CTemperature::Style::Plain);
    Draw(bar, 4, 4, 10, CTemperature::Green());
    EXPECT_EQ(RowsOf(bar, CTemperature::Green()), 0);
    Draw(bar, 4, 20, 10, CTemperature::Green());
    EXPECT_EQ(RowsOf(bar, CTemperature::Green()), 0);
    EXPECT_EQ(bar.ValueLabel(), QStringLiteral("x"));
}

TEST_F(TemperatureTest, ValueLineAndThermometerBulb) {
    CTemperature bar(CTemperature::Style::Thermometer);
    Draw(bar, 100, -40, 30, CTemperature::Red());
    const int w = 102;
    const int h = 357;
    EXPECT_EQ(Pixel(bar, 3, h - 20), QColor(Qt::white));
    EXPECT_EQ(Pixel(bar, w - 23, h - 41), CTemperature::Red()) << "bulb";
    EXPECT_EQ(Pixel(bar, w - 25, h - 56), CTemperature::Red()) << "strip into the bulb";
    EXPECT_EQ(Pixel(bar, w - 36, 100), QColor(Qt::white)) << "tube wall";
    // 30 on -40..100 fills half of the tube.
    const BarGeometry g = bar.Geometry();
    EXPECT_EQ(Pixel(bar, g.left + 3, g.top + (g.bottom - g.top) / 2 + 1), CTemperature::Red());
    EXPECT_EQ(Pixel(bar, g.left + 3, g.top + (g.bottom - g.top) / 2 - 2),
              CTemperature::Background());
}

// A limit label too long for the room left of the ticks ("1200.45" at the
// top of a PV bar) is written smaller, never cut at the control's edge.
TEST_F(TemperatureTest, ALongLimitLabelIsWrittenSmallerNotCut) {
    CTemperature bar(CTemperature::Style::Plain);
    for (const auto& [upper, lower] : std::vector<std::pair<double, double>>{
             {1200.45, -200}, {-1000.25, -1200.45}, {99999.99, 0}}) {
        Draw(bar, upper, lower, 0, CTemperature::Green());
        const QFontMetrics metrics(CTemperature::CellFont(bar.LabelCell()));
        for (double limit : {upper, lower}) {
            EXPECT_LE(metrics.horizontalAdvance(QString::fromStdString(ScaleLabelText(limit))),
                      bar.LabelRoom())
                << limit;
        }
        // Nothing written touches the left edge.
        const BarGeometry g = bar.Geometry();
        for (int y = 0; y < g.bottom; ++y) {
            ASSERT_EQ(Pixel(bar, 0, y), CTemperature::Background()) << upper << " row " << y;
        }
    }
    // A short scale keeps the usual 17-pixel cell.
    Draw(bar, 100, 0, 0, CTemperature::Green());
    EXPECT_EQ(bar.LabelCell(), 17);
}

}  // namespace
}  // namespace qt40
