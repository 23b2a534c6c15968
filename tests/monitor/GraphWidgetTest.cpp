#include <gtest/gtest.h>

#include <QLabel>
#include <cmath>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "model/ScriptedPrompts.h"
#include "monitor/CCustomGraph.h"
#include "monitor/CCustomLineGraph.h"
#include "monitor/CTrendGraph.h"
#include "resources/CResourceDatabase.h"
#include "tests/monitor/MonitorTestApp.h"
#include "widgets/CLblColor.h"

namespace qt40 {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class TrendGraphTest : public ::testing::Test {
protected:
    void SetUp() override {
        resources_.Init();
        trend_.SetClock([this] { return now_; });
        trend_.Initialise();
        trend_.Open("PV", "(degC)");
    }

    // One poll result `ms` after the previous one.
    void Sample(double value, std::int64_t ms = 200) {
        now_ += ms;
        trend_.AddSample(value);
    }

    const CCustomLineGraph& Plot() { return *trend_.Plot(); }

    bool HasCurveAt(int x, int y) {
        return Plot().Image().pixelColor(x, y) == CCustomLineGraph::CurveColor();
    }

    int CurvePixels() {
        int count = 0;
        const QImage& image = Plot().Image();
        const QRect plot = Plot().PlotRect();
        for (int y = plot.top(); y <= plot.bottom(); ++y) {
            for (int x = plot.left(); x <= plot.right(); ++x) {
                count += image.pixelColor(x, y) == CCustomLineGraph::CurveColor();
            }
        }
        return count;
    }

    QApplication& app_ = MonitorTestApp();
    QTemporaryDir dir_;
    ScriptedPrompts prompts_;
    CResourceDatabase resources_{dir_.path().toStdString()};
    CTrendGraph trend_{resources_, prompts_};
    std::int64_t now_ = 5000;
};

TEST_F(TrendGraphTest, ConstantValueScalesBelowItselfAndDrawsInsideThePlot) {
    trend_.StartButton()->click();
    ASSERT_TRUE(trend_.Running());
    EXPECT_FALSE(trend_.StartButton()->isEnabled());
    Sample(5.0, 0);
    EXPECT_EQ(CurvePixels(), 0);  // one sample draws nothing yet
    Sample(5.0);
    Sample(5.0);
    // 5 … 5 becomes 4.5 … 5, then a step of 0.1 above the value; the times
    // 0 … 0.2 s grow by half steps past the newest sample.
    EXPECT_NEAR(Plot().YRange().lower, 4.5, 1e-9);
    EXPECT_NEAR(Plot().YRange().upper, 5.1, 1e-9);
    EXPECT_EQ(Plot().XRange().lower, 0.0);
    EXPECT_GT(Plot().XRange().upper, 0.4);
    EXPECT_EQ(trend_.Samples().X(), (std::vector<double>{0.0, 0.2, 0.4}));
    // The curve: a yellow row where 5 lies, starting at the plot's left edge.
    const QRect plot = Plot().PlotRect();
    const int row = plot.bottom() - static_cast<int>(std::floor((5.0 - 4.5) * plot.height() / 0.6));
    EXPECT_TRUE(HasCurveAt(plot.left(), row) || HasCurveAt(plot.left(), row + 1));
}

TEST_F(TrendGraphTest, ConstantZeroKeepsAnEmptyRangeAndStillDraws) {
    trend_.StartButton()->click();
    for (int i = 0; i < 4; ++i) Sample(0.0, i == 0 ? 0 : 200);
    EXPECT_EQ(Plot().YRange(), (AxisRange{0.0, 0.0}));
    EXPECT_EQ(Plot().YStep(), 0.0);
    EXPECT_TRUE(HasCurveAt(Plot().PlotRect().left() + 10, Plot().PlotRect().bottom()));
    // A value at last gives the axis a span.
    // A value at last gives the axis a span, in steps of 0.4, with the zeros
    // (on the lower limit) taken in by one step below.
    Sample(2.0);
    EXPECT_NEAR(Plot().YRange().lower, -0.4, 1e-9);
    EXPECT_NEAR(Plot().YRange().upper, 2.4, 1e-9);
}

TEST_F(TrendGraphTest, StopKeepsTheCurveAndStartAgainClearsAndRescales) {
    trend_.StartButton()->click();
    for (double v : {10.0, 12.0, 14.0}) Sample(v);
    trend_.StopButton()->click();
    EXPECT_FALSE(trend_.Running());
    EXPECT_TRUE(trend_.StartButton()->isEnabled());
    const int drawn = CurvePixels();
    EXPECT_GT(drawn, 0);
    Sample(99.0);  // a poll after Stop is not recorded
    EXPECT_EQ(trend_.Samples().Size(), 3u);
    EXPECT_EQ(CurvePixels(), drawn);

    trend_.StartButton()->click();
    EXPECT_TRUE(trend_.Samples().Empty());
    EXPECT_EQ(CurvePixels(), 0);
    Sample(100.0, 0);
    Sample(101.0);
    // Scaled from the new samples alone, not from 10 … 14.
    EXPECT_GE(Plot().YRange().lower, 99.0);
    EXPECT_EQ(trend_.Samples().X().front(), 0.0);
}

// NaN first and in between (a failed sensor): the scale comes from the
// readings that are numbers, and the curve goes on after the gap.
TEST_F(TrendGraphTest, NanReadingsLeaveAGapAndTheScaleFollowsTheOthers) {
    trend_.StartButton()->click();
    Sample(std::nan(""), 0);
    Sample(std::nan(""));
    EXPECT_EQ(CurvePixels(), 0);
    for (double v : {20.0, 21.0, std::nan(""), 22.0, 24.0}) Sample(v);
    const AxisRange y = Plot().YRange();
    EXPECT_TRUE(std::isfinite(y.lower) && std::isfinite(y.upper));
    EXPECT_LE(y.lower, 20.0);
    EXPECT_GT(y.upper, 24.0);
    EXPECT_LT(y.upper - y.lower, 10.0);
    const int before = CurvePixels();
    EXPECT_GT(before, 0);
    Sample(30.0);  // still drawn and still scaled after the gap
    EXPECT_GT(Plot().YRange().upper, 30.0);
    EXPECT_GT(CurvePixels(), 0);
    EXPECT_EQ(trend_.Samples().Size(), 8u);
}

TEST_F(TrendGraphTest, SavesCsvAndPngThroughTheSafeSave) {
    trend_.StartButton()->click();
    Sample(23.5, 0);
    Sample(24.25, 250);
    const fs::path folder = dir_.path().toStdString();
    prompts_.QueueFileName((folder / "trend.csv").string());
    trend_.Plot()->AskAndSaveCsv();
    EXPECT_EQ(ReadAll(folder / "trend.csv"), "Time (s),PV (degC)\r\n0,23.5\r\n0.25,24.25\r\n");
    ASSERT_EQ(prompts_.FileRequests().size(), 1u);
    EXPECT_EQ(prompts_.FileRequests()[0].request.defaultSuffix, "csv");

    prompts_.QueueFileName((folder / "trend.png").string());
    trend_.Plot()->AskAndSavePng();
    QImage saved;
    ASSERT_TRUE(saved.load(QString::fromStdString((folder / "trend.png").string())));
    EXPECT_EQ(saved.size(), Plot().Image().size());
    EXPECT_EQ(saved.pixelColor(0, 0), Plot().Image().pixelColor(0, 0));

    // A target that cannot be replaced (a folder) is reported, and no
    // temporary file is left behind.
    fs::create_directory(folder / "busy.csv");
    prompts_.QueueFileName((folder / "busy.csv").string());
    prompts_.QueueAnswer(Answer::Ok);
    trend_.Plot()->AskAndSaveCsv();
    ASSERT_EQ(prompts_.Messages().size(), 1u);
    EXPECT_EQ(prompts_.Messages()[0].key, "Err_Graph_Save");
    EXPECT_TRUE(fs::is_directory(folder / "busy.csv"));
    int files = 0;
    for (const auto& entry : fs::directory_iterator(folder)) files += entry.is_regular_file();
    EXPECT_EQ(files, 2);  // trend.csv and trend.png

    // Cancelling the file dialog saves nothing.
    prompts_.QueueFileName(std::nullopt);
    trend_.Plot()->AskAndSavePng();
    EXPECT_EQ(prompts_.Messages().size(), 1u);

    std::unique_ptr<QMenu> menu(trend_.Plot()->BuildMenu(nullptr));
    EXPECT_EQ(menu->actions().size(), 2);
}

// A value-axis label is one box: "0.10" drawn a character at a time left the
// ground showing between "0." and "10".
TEST_F(TrendGraphTest, ValueAxisLabelsAreOneBoxEach) {
    const QImage& image = Plot().Image();
    const QColor face = CLblColor::ButtonFace();
    const QRect plot = Plot().PlotRect();
    int rowsWithText = 0;
    for (int y = 0; y < plot.bottom(); ++y) {
        int first = -1;
        int last = -1;
        for (int x = 0; x < plot.left(); ++x) {
            if (image.pixelColor(x, y) == face) continue;
            if (first < 0) first = x;
            last = x;
        }
        if (first < 0) continue;
        ++rowsWithText;
        for (int x = first; x <= last; ++x) {
            ASSERT_NE(image.pixelColor(x, y), face) << "gap at " << x << ", row " << y;
        }
    }
    EXPECT_GT(rowsWithText, 0);
}

TEST(CustomGraphTest, LabelsAsPlainTextPlotAndClose) {
    MonitorTestApp();
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    CResourceDatabase resources{dir.path().toStdString()};
    resources.Init();
    CCustomGraph graph(resources, prompts);
    graph.Initialise();
    graph.Show(true);
    graph.SetLabels("Custom TC Table", "EMF", "Temperature", "<b>mV</b>");
    EXPECT_EQ(graph.TitleText(), "Custom TC Table");
    EXPECT_EQ(graph.YUnitText(), "<b>mV</b>");
    EXPECT_EQ(graph.findChild<QLabel*>("yUnit")->textFormat(), Qt::PlainText);
    graph.SetRanges({0, 100}, {0, 4});
    graph.PlotTable({0, 50, 100}, {0.0, 2.0, 4.1});
    EXPECT_EQ(graph.Series().Size(), 3u);
    // 100 and 4.1 lie on or beyond the limits: both widen.
    EXPECT_GT(graph.Plot()->XRange().upper, 100.0);
    EXPECT_GT(graph.Plot()->YRange().upper, 4.1);

    const fs::path csv = fs::path(dir.path().toStdString()) / "table.csv";
    prompts.QueueFileName(csv.string());
    graph.Plot()->AskAndSaveCsv();
    EXPECT_EQ(ReadAll(csv), "Temperature,EMF (<b>mV</b>)\r\n0,0\r\n50,2\r\n100,4.1\r\n");

    QSignalSpy closing(&graph, &CCustomGraph::closeRequested);
    graph.CloseButton()->click();
    EXPECT_EQ(closing.count(), 1);
    EXPECT_TRUE(graph.Series().Empty());
}

}  // namespace
}  // namespace qt40
