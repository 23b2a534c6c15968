// What the main window tells a technician about the device and its values:
// the device in the title, readings that are not live, the status boxes'
// meanings, a polling address nobody answers at, and the scales.

#include <QLineEdit>
#include <QTest>

#include "tests/app/AppFixture.h"
#include "monitor/CDisplayArea.h"
#include "monitor/CTemperature.h"
#include "monitor/CTrafficWindow.h"
#include "resources/CResourceDatabase.h"
#include "widgets/CLblColor.h"

namespace qt40 {
namespace {

constexpr int kAfx = 1034;

class TechnicianWindowTest : public AppFixture {
protected:
    CTemperature* Bar(int column) { return window_->Monitor()->Bar(column); }

    // Whether a bar shows a fill: a fill colour at the bar's middle row.
    bool Filled(int column) {
        CTemperature* bar = Bar(column);
        const BarGeometry g = bar->Geometry();
        const QColor at = bar->Image().pixelColor((g.left + g.right) / 2, g.bottom - 5);
        return at == CTemperature::Green() || at == CTemperature::Red();
    }

    void Disconnect() {
        window_->OpenPanel(CFunctionKeys::kConnect);
        Child(window_->ConnectPanel(), "disconnect")->click();
        ASSERT_FALSE(window_->Connection().Connected());
    }

    void ExpectNothingLive(const std::string& when) {
        for (int column = 0; column < CDisplayArea::kColumns; ++column) {
            EXPECT_EQ(Bar(column)->ValueLabel(), "") << when << " column " << column;
            EXPECT_FALSE(Filled(column)) << when << " column " << column;
        }
        CDisplaySignal* status = window_->StatusBar();
        EXPECT_FALSE(status->Live()) << when;
        for (int id : {kCom, kTme, kAfx, 1035, 1036, 1037, 1038}) {
            EXPECT_EQ(Indicator(id), CDisplaySignal::Neutral()) << when << " box " << id;
            EXPECT_EQ(status->Label(id)->TextColor(), CDisplaySignal::OfflineText())
                << when << " box " << id;
        }
    }
};

// Old readings never pass for live ones: before a connection, after
// Disconnect and after a line given up, the bars are empty and blank, and the
// status boxes neutral and grey; the next poll brings them back.
TEST_F(TechnicianWindowTest, ReadingsAreBlankedWhileNoDeviceIsConnected) {
    Start();
    ExpectNothingLive("at start");

    const auto fixedAndPolled = [&] {
        Connect();
        server_->WithDevice([](sim::SimDevice& d) { d.State().fixedCurrent = 12.0f; });
        ASSERT_TRUE(WaitFor([&] {
            return Bar(CDisplayArea::kAo)->ValueLabel() == "12.00" &&
                   Indicator(kAfx) == CTemperature::Red();
        }));
        EXPECT_TRUE(window_->StatusBar()->Live());
        EXPECT_TRUE(Filled(CDisplayArea::kAo));
        EXPECT_EQ(window_->StatusBar()->Label(kAfx)->TextColor(), QColor(Qt::black));
    };
    fixedAndPolled();
    Disconnect();
    ExpectNothingLive("after Disconnect");

    // The device lost: the failure is asked about, then the line given up.
    fixedAndPolled();
    prompts_.QueueAnswer(Answer::Cancel);
    server_->WithDevice([](sim::SimDevice& d) { d.Faults().dropAnswer.remaining = -1; });
    ASSERT_TRUE(
        WaitFor([&] { return !window_->Connection().Connected() && window_->isEnabled(); }));
    ExpectNothingLive("after the line was given up");
}

TEST_F(TechnicianWindowTest, TheTitleNamesTheConnectedDevice) {
    Start();
    EXPECT_EQ(window_->windowTitle(), CMainDlgDlg::Caption());
    Connect();
    const QString port = QString::fromStdString(server_->SlavePath());
    EXPECT_EQ(window_->windowTitle(),
              CMainDlgDlg::Caption() + " - TT-101 at polling address 0 on " + port);

    // A tag written meanwhile shows with the next poll; a blank one gives way
    // to the device ID.
    server_->WithDevice([](sim::SimDevice& d) { d.State().tag = "        "; });
    window_->Worker().WithSession([](DeviceState& s) { s.record.tag = "        "; });
    ASSERT_TRUE(WaitForPolls(1));
    EXPECT_EQ(window_->windowTitle(),
              CMainDlgDlg::Caption() + " - 41394 at polling address 0 on " + port);

    Disconnect();
    EXPECT_EQ(window_->windowTitle(), CMainDlgDlg::Caption());
}

// Nobody at the chosen address: the message says so and points to Search
// Device; after Cancel the connection panel stays for another try.
TEST_F(TechnicianWindowTest, NoAnswerAtThePollingAddressSaysSoAndKeepsThePanel) {
    Start();
    window_->Worker().WithSession([](DeviceState& s) { s.record.pollingAddress = 5; });
    window_->OpenPanel(CFunctionKeys::kConnect);
    prompts_.QueueAnswers({Answer::Retry, Answer::Cancel});
    Child(window_->ConnectPanel(), "connect")->click();
    ASSERT_TRUE(WaitFor([&] {
        return prompts_.Messages().size() == 2 && !window_->Connection().Connected() &&
               window_->isEnabled();
    }));
    for (const auto& asked : prompts_.Messages()) {
        EXPECT_EQ(asked.key, "Err_No_Device_At_Address");
        EXPECT_EQ(DescribeArgs(asked.args), DescribeArgs({5LL, server_->SlavePath()}));
        EXPECT_EQ(asked.type, BoxType::RetryCancelInfoSystemModal);
    }
    QTest::qWait(200);  // the worker's last word has come and gone
    EXPECT_TRUE(window_->ConnectPanel()->isVisible());
    EXPECT_TRUE(Child(window_->ConnectPanel(), "search")->isEnabled());
    EXPECT_EQ(window_->windowTitle(), CMainDlgDlg::Caption());
}

// Every status box says what it means, in the chosen language, and the
// traffic window has a button of its own that leaves the layout as it was.
TEST_F(TechnicianWindowTest, StatusBoxesExplainThemselvesAndTrafficHasAButton) {
    Start();
    CDisplaySignal* status = window_->StatusBar();
    const std::vector<std::pair<int, std::string>> boxes{
        {1023, "COM"}, {1024, "PE"},  {1025, "OVE"}, {1026, "FE"},  {1028, "SME"},
        {1029, "BOE"}, {1030, "TME"}, {1038, "MAL"}, {1031, "CFG"}, {1032, "CLD"},
        {1034, "AFX"}, {1035, "AOS"}, {1036, "NPV"}, {1037, "PV"}};
    for (const char* file : {"English.lng", "Japanese.lng"}) {
        CResourceDatabase texts;
        texts.Init();
        texts.Load(file);
        window_->Settings().displayLanguage = file;
        window_->ApplyLanguage(false);
        const QString trafficTip = QString::fromStdString(texts.UIMsg("Traffic_Open_Tip"));
        for (const auto& [id, name] : boxes) {
            const QString meaning = QString::fromStdString(texts.UIMsg("Status_Tip_" + name));
            ASSERT_FALSE(meaning.isEmpty()) << file << " " << name;
            const QString tip = status->Label(id)->toolTip();
            EXPECT_TRUE(tip.startsWith(meaning)) << file << " " << name;
            // The line's row also leads to its traffic.
            EXPECT_EQ(tip.contains(trafficTip), id >= 1023 && id <= 1030) << file << " " << name;
        }
        EXPECT_EQ(status->TrafficButton()->text().toStdString(),
                  texts.UIMsg("Traffic_Open_Button"));
    }

    // Inside the status bar, clear of every box and of the icon.
    const QRect button = status->TrafficButton()->geometry();
    EXPECT_TRUE(status->rect().contains(button));
    for (QWidget* child : status->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child == status->TrafficButton()) continue;
        EXPECT_FALSE(child->geometry().intersects(button)) << child->objectName().toStdString();
    }
    status->TrafficButton()->click();
    ASSERT_NE(window_->TrafficWindow(), nullptr);
    EXPECT_TRUE(WaitFor([&] { return window_->TrafficWindow()->isVisible(); }));
    window_->TrafficWindow()->close();
}

// The thermometer's default scale, -40 to 100 degC, follows the unit the
// device reports the terminal temperature in; a scale the user typed stays.
TEST_F(TechnicianWindowTest, TheTerminalScaleFollowsTheDevicesUnit) {
    sim::SimDevice device;
    device.State().termTempUnit = 35;  // Kelvin
    Start(std::move(device));
    Connect();
    CTemperature* term = Bar(CDisplayArea::kTerm);
    ASSERT_TRUE(
        WaitFor([&] { return window_->Monitor()->UnitText(CDisplayArea::kTerm) == "Kelvin"; }));
    EXPECT_NEAR(term->ScaleUpper(), 373.15, 1e-9);
    EXPECT_NEAR(term->ScaleLower(), 233.15, 1e-9);
    EXPECT_EQ(window_->Monitor()->UpperEdit(CDisplayArea::kTerm)->text(), "373.15");
    EXPECT_EQ(window_->Monitor()->LowerEdit(CDisplayArea::kTerm)->text(), "233.15");
    // 296.65 K sits inside the scale: the bar is not pegged full.
    const BarGeometry g = term->Geometry();
    EXPECT_NE(term->Image().pixelColor((g.left + g.right) / 2, g.top + 2), CTemperature::Red());
    EXPECT_EQ(term->Image().pixelColor((g.left + g.right) / 2, g.bottom - 5), CTemperature::Red());

    // In degF from now on; then a typed scale, which a change of unit keeps.
    server_->WithDevice([](sim::SimDevice& d) { d.State().termTempUnit = 33; });
    ASSERT_TRUE(
        WaitFor([&] { return window_->Monitor()->UnitText(CDisplayArea::kTerm) == "degF"; }));
    EXPECT_NEAR(term->ScaleUpper(), 212.0, 1e-9);
    EXPECT_NEAR(term->ScaleLower(), -40.0, 1e-9);
    window_->Monitor()->UpperEdit(CDisplayArea::kTerm)->setText("150");
    window_->Monitor()->ApplyScales();
    server_->WithDevice([](sim::SimDevice& d) { d.State().termTempUnit = 32; });
    ASSERT_TRUE(
        WaitFor([&] { return window_->Monitor()->UnitText(CDisplayArea::kTerm) == "degC"; }));
    EXPECT_NEAR(term->ScaleUpper(), 150.0, 1e-9);
    EXPECT_NEAR(term->ScaleLower(), -40.0, 1e-9);
}

}  // namespace
}  // namespace qt40
