// The real main window, offscreen, against the simulated QT40 behind a
// pseudo-terminal, with a temporary settings store and scripted answers.

#include "tests/app/AppFixture.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

#include "app/CFunctionKeys.h"
#include "app/CMainDlgDlg.h"
#include "model/ScriptedPrompts.h"
#include "monitor/CDisplayArea.h"
#include "monitor/CDisplaySignal.h"
#include "monitor/CTemperature.h"
#include "panels/CConnectDevice.h"
#include "panels/CPollingAddr.h"
#include "panels/CProgressWindow.h"
#include "panels/CSensorInfo.h"
#include "panels/CSetting.h"
#include "resources/CAppSettings.h"
#include "resources/CResourceDatabase.h"
#include "sim/SimServer.h"
#include "widgets/CLblColor.h"

namespace qt40 {
namespace {

using MainWindowTest = AppFixture;

const std::vector<int> kAlwaysKeys{CFunctionKeys::kConnect, CFunctionKeys::kFile,
                                   CFunctionKeys::kLanguage, CFunctionKeys::kExit};

TEST_F(MainWindowTest, StartsWithTheDefaultPanelsAndOnlyTheAlwaysButtons) {
    Start();
    EXPECT_TRUE(errors_.empty());
    EXPECT_TRUE(window_->SensorInfoPanel()->isVisible());
    EXPECT_TRUE(window_->Monitor()->isVisible());
    EXPECT_TRUE(window_->Functions()->isVisible());
    EXPECT_TRUE(window_->StatusBar()->isVisible());
    EXPECT_EQ(EnabledKeys(), kAlwaysKeys);
    EXPECT_EQ(window_->windowTitle(), CMainDlgDlg::Caption());
    EXPECT_TRUE(window_->windowTitle().startsWith("QT40CFG PC Configurator Ver"));

    // Enter and Escape do not close the window; nothing is asked.
    QTest::keyClick(window_.get(), Qt::Key_Escape);
    QTest::keyClick(window_.get(), Qt::Key_Return);
    EXPECT_TRUE(window_->isVisible());
    EXPECT_TRUE(prompts_.Messages().empty());
}

TEST_F(MainWindowTest, TheStoredPollingAddressIsTakenWhenItIsOne) {
    for (const auto& [stored, expected] : std::vector<std::pair<std::string, int>>{
             {"5", 5}, {"99", 0}, {"-3", 0}, {"x", 0}}) {
        {
            CAppSettings settings(dir_.filePath("settings.ini"));
            settings.Load(false);
            settings.pollingAddr = stored;
            ASSERT_TRUE(settings.Save());
        }
        Start();
        EXPECT_EQ(window_->Connection().PollingAddress(), expected) << stored;
        window_.reset();
        server_.reset();
    }
}

TEST_F(MainWindowTest, ConnectingUploadsThenPollsAndTheMonitorFollows) {
    Start();
    Connect();
    EXPECT_EQ(window_->UploadWindow()->PercentText(), "100.00 %");
    EXPECT_FALSE(window_->UploadWindow()->isVisible());
    EXPECT_TRUE(window_->SensorInfoPanel()->isVisible());
    EXPECT_NE(std::find(EnabledKeys().begin(), EnabledKeys().end(), 1045), EnabledKeys().end());
    EXPECT_TRUE(Key(CFunctionKeys::kPollingAddress)->isEnabled());

    // The heartbeat alternates with each poll and the bars show the device.
    ASSERT_TRUE(WaitForPolls(2));
    server_->WithDevice([](sim::SimDevice& d) {
        d.State().processBase = 61.25;
        d.State().processSwing = 0.0;
    });
    ASSERT_TRUE(WaitFor([&] {
        return window_->Monitor()->Bar(CDisplayArea::kPv)->ValueLabel() == "61.25";
    }));
    EXPECT_EQ(window_->Monitor()->Bar(CDisplayArea::kTerm)->ValueLabel(), "23.50");
    EXPECT_EQ(window_->Monitor()->UnitText(CDisplayArea::kPv), "degC");
    EXPECT_EQ(window_->SensorInfoPanel()->findChild<QLabel*>("sensorType")->text(), "Pt100");
    EXPECT_TRUE(prompts_.Messages().empty());
}

TEST_F(MainWindowTest, AFailedPollMarksTmeAsksAndRetryRecovers) {
    Start();
    Connect();
    QColor tmeWhenAsked;
    prompts_.onMessage = [&] { tmeWhenAsked = Indicator(kTme); };
    prompts_.QueueAnswer(Answer::Retry);
    server_->WithDevice([](sim::SimDevice& d) {
        d.Faults().onlyCommand = 3;
        d.Faults().dropAnswer.remaining = 4;
    });
    ASSERT_TRUE(WaitFor([&] { return prompts_.Messages().size() == 1; }));
    EXPECT_EQ(prompts_.Messages()[0].key, "Err_COM");
    EXPECT_EQ(tmeWhenAsked, QColor(255, 0, 0));
    ASSERT_TRUE(WaitForPolls(2));
    EXPECT_NE(Indicator(kTme), QColor(255, 0, 0));
    EXPECT_TRUE(window_->Connection().Connected());
}

TEST_F(MainWindowTest, CancelAfterAFailureDisconnects) {
    Start();
    Connect();
    prompts_.QueueAnswer(Answer::Cancel);
    server_->WithDevice([](sim::SimDevice& d) { d.Faults().dropAnswer.remaining = -1; });
    ASSERT_TRUE(WaitFor([&] { return !window_->Connection().Connected(); }));
    ASSERT_EQ(prompts_.Messages().size(), 1u);
    EXPECT_EQ(prompts_.Messages()[0].key, "Err_COM");
    ASSERT_TRUE(WaitFor([&] { return EnabledKeys() == kAlwaysKeys; }));
    EXPECT_TRUE(window_->isEnabled());
}

// A device that answers but refuses a command of the upload: the window says
// which command and why, instead of only taking the progress away.
TEST_F(MainWindowTest, AnUploadTheDeviceRefusesIsToldWithItsCommandAndCode) {
    Start();
    server_->WithDevice([](sim::SimDevice& d) { d.Faults().responseCodeFor[13] = 6; });
    prompts_.QueueAnswer(Answer::Ok);
    window_->OpenPanel(CFunctionKeys::kConnect);
    Child(window_->ConnectPanel(), "connect")->click();
    ASSERT_TRUE(WaitFor([&] { return !prompts_.Messages().empty(); }));
    const auto& said = prompts_.Messages()[0];
    EXPECT_EQ(said.key, "Err_Connect_Refused");
    ASSERT_EQ(said.args.size(), 4u);
    EXPECT_EQ(std::get<long long>(said.args[2]), 13);
    EXPECT_FALSE(std::get<std::string>(said.args[3]).empty());
    EXPECT_FALSE(window_->Connection().ProgressShown());
}

TEST_F(MainWindowTest, ASearchFromThreeFindsTheDeviceAtSeven) {
    sim::SimDevice device;
    device.State().pollingAddress = 7;
    Start(std::move(device));
    window_->OpenPanel(CFunctionKeys::kConnect);
    prompts_.QueueNumber(NumberResult{"3", "3.000", 3.0});
    Child(window_->ConnectPanel(), "addressButton")->click();
    ASSERT_EQ(prompts_.NumberEntries().size(), 1u);
    EXPECT_EQ(prompts_.NumberEntries()[0].titleKey, "Set_Device_Address_Title");
    EXPECT_EQ(prompts_.NumberEntries()[0].maximum, 15);
    EXPECT_EQ(window_->Connection().PollingAddress(), 3);

    prompts_.QueueAnswer(Answer::Yes);
    Child(window_->ConnectPanel(), "search")->click();
    ASSERT_TRUE(WaitFor([&] { return Connected(); }));
    ASSERT_EQ(prompts_.Messages().size(), 1u);
    EXPECT_EQ(prompts_.Messages()[0].key, "Confr_Search_Address");
    // The device that answered, by its tag and device ID.
    EXPECT_EQ(DescribeArgs(prompts_.Messages()[0].args),
              DescribeArgs({7LL, std::string("TT-101"), std::string("41394")}));
    EXPECT_EQ(window_->SearchWindow()->AddressText(), "7");
    EXPECT_EQ(window_->Connection().PollingAddress(), 7);
    EXPECT_EQ(window_->Settings().pollingAddr, "7");
}

TEST_F(MainWindowTest, WritingThePollingAddress) {
    Start();
    Connect();
    window_->OpenPanel(CFunctionKeys::kPollingAddress);
    ASSERT_TRUE(window_->PollingPanel()->isVisible());
    prompts_.QueueNumber(NumberResult{"5", "5.000", 5.0});
    Child(window_->PollingPanel(), "write")->click();
    ASSERT_TRUE(WaitFor([&] { return window_->Settings().pollingAddr == "5"; }));
    server_->WithDevice([](sim::SimDevice& d) { EXPECT_EQ(d.State().pollingAddress, 5); });
    EXPECT_EQ(window_->PollingPanel()->findChild<QLabel*>("address")->text(), "5");
}

TEST_F(MainWindowTest, AnotherModelKeepsTheQt40OnlyButtonsOff) {
    Start(sim::SimDevice(sim::SimModel::QT30));
    Connect();
    const std::vector<int> expected{1037, 1045, 1039, 1424, 1040, 1041, 1042, 1043, 1049, 1050, 1196};
    EXPECT_EQ(EnabledKeys(), expected);
    window_->OpenPanel(CFunctionKeys::kConnect);
    EXPECT_EQ(EnabledKeys(), std::vector<int>{1196});  // a panel holds the column
}

TEST_F(MainWindowTest, SwitchingToJapaneseRelabelsTheOpenWindow) {
    Start();
    CResourceDatabase japanese;
    japanese.Init();
    japanese.Load("Japanese.lng");
    window_->OpenPanel(CFunctionKeys::kLanguage);
    ASSERT_TRUE(window_->LanguagePanel()->isVisible());
    // A cancelled choice changes nothing.
    prompts_.QueueSelection(std::nullopt);
    Child(window_->LanguagePanel(), "change")->click();
    EXPECT_EQ(window_->Settings().displayLanguage, "English.lng");
    const Selection& offered = prompts_.Selections().at(0);
    EXPECT_EQ(offered.titleKey, "Select_Display_Language");
    EXPECT_EQ(offered.preselectName, std::optional<std::string>("English"));
    const auto it = std::find(offered.names.begin(), offered.names.end(), japanese.LanguageName());
    ASSERT_NE(it, offered.names.end());
    const int position = static_cast<int>(it - offered.names.begin());
    prompts_.QueueSelection(SelectionResult{position, static_cast<std::int16_t>(position)});
    Child(window_->LanguagePanel(), "change")->click();
    EXPECT_EQ(window_->Settings().displayLanguage, "Japanese.lng");
    const QString title = QString::fromStdString(japanese.GuiText(164, 1340));
    ASSERT_FALSE(title.isEmpty());
    EXPECT_EQ(window_->LanguagePanel()->findChild<CLblColor*>("title")->text(), title);
    EXPECT_EQ(Key(CFunctionKeys::kConnect)->text(),
              QString::fromStdString(japanese.GuiText(143, CFunctionKeys::kConnect)));
    EXPECT_EQ(window_->Monitor()->HeaderText(CDisplayArea::kPv),
              QString::fromStdString(japanese.GuiText(142, 1178)).isEmpty()
                  ? QString("PV")
                  : QString::fromStdString(japanese.GuiText(142, 1178)));
    window_->LanguagePanel()->Show(false);
    EXPECT_TRUE(window_->SensorInfoPanel()->isVisible());
}

TEST_F(MainWindowTest, AnsweringNoToTheClosingQuestionKeepsPolling) {
    Start();
    Connect();
    prompts_.QueueAnswer(Answer::No);
    window_->close();
    EXPECT_TRUE(window_->isVisible());
    ASSERT_EQ(prompts_.Messages().size(), 1u);
    EXPECT_EQ(prompts_.Messages()[0].key, "Apllication_Close");
    EXPECT_EQ(prompts_.Messages()[0].type, BoxType::YesNoQuestion);
    EXPECT_FALSE(window_->Worker().Paused());
    ASSERT_TRUE(WaitForPolls(2));

    prompts_.QueueAnswer(Answer::Yes);
    window_->close();
    EXPECT_FALSE(window_->isVisible());
    EXPECT_FALSE(window_->Worker().Running());
}

// The serial line is chosen in the connection panel, kept in the settings
// (an unknown stored value falls back to the default) and opens the port.
TEST_F(MainWindowTest, TheSerialLineIsChosenRememberedAndUsed) {
    const auto storeLine = [&](const std::string& line) {
        CAppSettings settings(dir_.filePath("settings.ini"));
        settings.Load(false);
        settings.line = line;
        ASSERT_TRUE(settings.Save());
    };
    const auto storedLine = [&] {
        CAppSettings settings(dir_.filePath("settings.ini"));
        settings.Load(false);
        return settings.line;
    };
    storeLine("300-7E2");
    Start();
    QComboBox* line = window_->ConnectPanel()->LineBox();
    EXPECT_EQ(line->currentData().toString(), "9600-8N1");
    window_.reset();
    server_.reset();

    storeLine("1200-8O1");
    Start();
    line = window_->ConnectPanel()->LineBox();
    window_->OpenPanel(CFunctionKeys::kConnect);
    EXPECT_EQ(line->currentData().toString(), "1200-8O1");
    EXPECT_EQ(line->currentText(), "1200-8O1 (Bell 202 HART modem)");
    line->setCurrentIndex(0);
    emit line->activated(0);
    EXPECT_EQ(storedLine(), "9600-8N1");
    line->setCurrentIndex(1);
    emit line->activated(1);
    EXPECT_EQ(storedLine(), "1200-8O1");

    Child(window_->ConnectPanel(), "connect")->click();
    ASSERT_TRUE(WaitFor([&] { return Connected(); }));
    EXPECT_EQ(window_->Connection().Line().Name(), "1200-8O1");
    EXPECT_EQ(window_->Worker().Link().Line().Name(), "1200-8O1");
    window_->OpenPanel(CFunctionKeys::kConnect);
    EXPECT_FALSE(line->isEnabled()) << "changed while connected";
    EXPECT_TRUE(prompts_.Messages().empty());
}

}  // namespace
}  // namespace qt40
