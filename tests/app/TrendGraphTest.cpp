#include <QPushButton>

#include "monitor/CCustomGraph.h"
#include "monitor/CCustomLineGraph.h"
#include "monitor/CDisplayArea.h"
#include "monitor/CTrendGraph.h"
#include "panels/CPanel.h"
#include "panels/CSensorInfo.h"
#include "panels/CSetting.h"
#include "tests/app/AppFixture.h"

namespace qt40 {
namespace {

class TrendGraphTest : public AppFixture {
protected:
    CTrendGraph& Trend() { return *window_->TrendGraph(); }

    void OpenPvGraph() {
        window_->Monitor()->GraphButton(CDisplayArea::kPv)->click();
        ASSERT_TRUE(Trend().isVisible());
    }

    bool MonitorBack() {
        return !Trend().isVisible() && window_->Monitor()->isVisible() &&
               window_->Functions()->isVisible() && window_->SensorInfoPanel()->isVisible();
    }

    static TableGraphSeries Table() {
        TableGraphSeries s;
        s.x = {-200, 0, 400, 850};
        s.y = {-8.0, 0.0, 16.4, 35.0};
        s.xLower = -200;
        s.xUpper = 850;
        s.yLower = -8;
        s.yUpper = 35;
        s.title = "Custom TC Table";
        s.yUnit = "mV";
        s.yName = "EMF";
        s.xName = "Temperature";
        return s;
    }
};

// The trend graph's Close hides every panel of the left column; a trim that
// holds the loop at 4 mA ends with level 0 as its own Close would end it.
TEST_F(TrendGraphTest, ClosingTheGraphDuringATrimLeavesFixedCurrentMode) {
    Start();
    Connect();
    const auto level = [&] {
        return server_->WithDevice([](sim::SimDevice& d) { return d.State().fixedCurrent; });
    };
    window_->OpenPanel(CFunctionKeys::kTrimDac);
    CPanel* trim = window_->PanelFor(CFunctionKeys::kTrimDac);
    ASSERT_TRUE(trim->isVisible());
    prompts_.QueueAnswer(Answer::Ok);  // the loop is in manual
    Child(trim, "lowerTrim")->click();
    ASSERT_TRUE(WaitFor([&] { return level() == 4.0f && window_->isEnabled(); }));

    OpenPvGraph();
    Trend().CloseButton()->click();
    EXPECT_FALSE(trim->isVisible());
    EXPECT_EQ(level(), 0.0f);
    EXPECT_TRUE(MonitorBack());
    // Hidden once and for all: the panel's own Close sent nothing more.
    ASSERT_TRUE(WaitForPolls(2));
    ASSERT_EQ(prompts_.Messages().size(), 1u);
    EXPECT_EQ(prompts_.Messages()[0].key, "Confr_Fixed_Current_Manual");
}

TEST_F(TrendGraphTest, RecordsPollsStopsKeepsStartsAfreshAndClosesToTheMonitor) {
    Start();
    Connect();
    server_->WithDevice([](sim::SimDevice& d) {
        d.State().processBase = 61.25;
        d.State().processSwing = 0.0;
    });
    ASSERT_TRUE(WaitForPolls(2));
    OpenPvGraph();
    EXPECT_FALSE(window_->Monitor()->isVisible());
    EXPECT_FALSE(window_->Functions()->isVisible());
    EXPECT_EQ(Trend().Plot()->CaptionTitle(), "PV");
    EXPECT_EQ(Trend().Plot()->CaptionUnit(), "(degC)");
    EXPECT_FALSE(Trend().Running());

    Trend().StartButton()->click();
    // Samples are stamped as the window takes them; several polls can be
    // taken within one millisecond when the window thread was busy.
    ASSERT_TRUE(WaitFor([&] {
        return Trend().Samples().Size() >= 3 && Trend().Samples().X().back() > 0.0;
    }));
    for (double v : Trend().Samples().Y()) EXPECT_FLOAT_EQ(v, 61.25f);
    EXPECT_EQ(Trend().Samples().X().front(), 0.0);

    Trend().StopButton()->click();
    const std::size_t kept = Trend().Samples().Size();
    ASSERT_TRUE(WaitForPolls(2));
    EXPECT_EQ(Trend().Samples().Size(), kept);

    Trend().StartButton()->click();
    EXPECT_LT(Trend().Samples().Size(), 2u);
    ASSERT_TRUE(WaitFor([&] { return Trend().Samples().Size() >= 2; }));

    Trend().CloseButton()->click();
    EXPECT_TRUE(MonitorBack());
    EXPECT_FALSE(window_->Monitor()->TrendColumn());
    EXPECT_TRUE(Key(CFunctionKeys::kDiagnostics)->isEnabled());
    EXPECT_TRUE(prompts_.Messages().empty());
}

TEST_F(TrendGraphTest, ACancelledFailedExchangeClearsTheTrendFlags) {
    Start();
    Connect();
    window_->Monitor()->GraphButton(CDisplayArea::kAo)->click();
    ASSERT_EQ(window_->Monitor()->TrendColumn(), CDisplayArea::kAo);
    Trend().StartButton()->click();
    prompts_.QueueAnswer(Answer::Cancel);
    server_->WithDevice([](sim::SimDevice& d) { d.Faults().dropAnswer.remaining = -1; });
    ASSERT_TRUE(WaitFor([&] { return !window_->Connection().Connected(); }));
    EXPECT_EQ(prompts_.Messages().at(0).key, "Err_COM");
    EXPECT_FALSE(window_->Monitor()->TrendColumn());
}

TEST_F(TrendGraphTest, ClosingTheLanguagePanelHidesTheTrendGraph) {
    Start();
    Connect();
    window_->OpenPanel(CFunctionKeys::kLanguage);
    ASSERT_TRUE(window_->LanguagePanel()->isVisible());
    // The monitor stays usable beside an open panel.
    OpenPvGraph();
    Child(window_->LanguagePanel(), "close")->click();
    EXPECT_TRUE(MonitorBack());
    EXPECT_FALSE(window_->LanguagePanel()->isVisible());
    EXPECT_FALSE(window_->Monitor()->TrendColumn());
}

TEST_F(TrendGraphTest, ClosingATableGraphBringsBackTheTrendWhileItsFlagIsSet) {
    Start();
    Connect();
    OpenPvGraph();
    window_->ShowTableGraph(Table());
    CCustomGraph& table = *window_->TableGraph();
    EXPECT_TRUE(table.isVisible());
    EXPECT_FALSE(Trend().isVisible());
    EXPECT_EQ(table.TitleText(), "Custom TC Table");
    EXPECT_EQ(table.Series().Size(), 4u);

    table.CloseButton()->click();
    EXPECT_FALSE(table.isVisible());
    EXPECT_TRUE(Trend().isVisible());
    EXPECT_TRUE(Trend().StartButton()->isEnabled());
    EXPECT_EQ(window_->Monitor()->TrendColumn(), CDisplayArea::kPv);
}

TEST_F(TrendGraphTest, ClosingATableGraphWithoutTrendShowsTheMonitorWithKeysOff) {
    Start();
    // A table panel holds the left column while its graph shows.
    window_->OpenPanel(CFunctionKeys::kCustomTc);
    window_->ShowTableGraph(Table());
    CCustomGraph& table = *window_->TableGraph();
    EXPECT_TRUE(table.isVisible());
    EXPECT_FALSE(window_->Monitor()->isVisible());
    EXPECT_FALSE(window_->Functions()->isVisible());
    // X and Y as handed over, beyond-the-limit ends widened into view.
    EXPECT_GT(table.Plot()->XRange().upper, 850.0);
    EXPECT_GT(table.Plot()->YRange().upper, 35.0);

    table.CloseButton()->click();
    EXPECT_FALSE(table.isVisible());
    EXPECT_FALSE(Trend().isVisible());
    EXPECT_TRUE(window_->Monitor()->isVisible());
    EXPECT_TRUE(window_->Functions()->isVisible());
    EXPECT_EQ(EnabledKeys(), std::vector<int>{CFunctionKeys::kExit});

    // Hiding a hidden graph changes nothing.
    window_->HideTableGraph();
    EXPECT_TRUE(window_->Monitor()->isVisible());
}

}  // namespace
}  // namespace qt40
