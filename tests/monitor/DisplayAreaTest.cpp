#include "monitor/CDisplayArea.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <functional>

#include "model/ScriptedPrompts.h"
#include "resources/CResourceDatabase.h"
#include "tests/monitor/MonitorTestApp.h"

namespace qt40 {
namespace {

// Scripted prompts that also run a hook while the box is "open".
class HookedPrompts : public ScriptedPrompts {
public:
    std::function<void()> whileOpen;
    Answer Message(const std::string& key, const MessageArgs& args, BoxType type) override {
        if (whileOpen) whileOpen();
        return ScriptedPrompts::Message(key, args, type);
    }
};

class DisplayAreaTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        resources_.Init();
        area_.Initialise();
    }

    void LoadLanguage(const std::string& gui142) {
        std::ofstream(std::filesystem::path(dir_.path().toStdString()) / "test.lng")
            << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<root><application>QT40CON"
               "</application><filetype>language</filetype><language>Test</language>"
               "<gui name=\"142\">"
            << gui142 << "</gui></root>\n";
        resources_.Load("test.lng");
    }

    CTemperature& Bar(int column) { return *area_.Bar(column); }

    // Before any widget member.
    QApplication& app_ = MonitorTestApp();
    QTemporaryDir dir_;
    HookedPrompts prompts_;
    CResourceDatabase resources_{dir_.path().toStdString()};
    CDisplayArea area_{prompts_, resources_};
};

TEST_F(DisplayAreaTest, StartsWithTheDefaultScales) {
    const std::vector<std::pair<int, std::pair<double, double>>> scales{
        {CDisplayArea::kPv, {1000, 0}},
        {CDisplayArea::kPercent, {100, 0}},
        {CDisplayArea::kTerm, {100, -40}},
        {CDisplayArea::kAo, {20, 4}}};
    for (const auto& [column, limits] : scales) {
        EXPECT_EQ(Bar(column).ScaleUpper(), limits.first) << column;
        EXPECT_EQ(Bar(column).ScaleLower(), limits.second) << column;
    }
    EXPECT_EQ(area_.UpperEdit(CDisplayArea::kTerm)->text(), "100");
    EXPECT_EQ(area_.LowerEdit(CDisplayArea::kTerm)->text(), "-40");
    EXPECT_EQ(area_.UpperEdit(CDisplayArea::kAo)->text(), "20");
    EXPECT_EQ(area_.LowerEdit(CDisplayArea::kAo)->text(), "4");
    EXPECT_EQ(area_.UpperEdit(CDisplayArea::kPv), nullptr);
    EXPECT_EQ(Bar(CDisplayArea::kTerm).BarStyle(), CTemperature::Style::Thermometer);
}

TEST_F(DisplayAreaTest, RefreshWritesEachValueWithTwoDecimalsAndNoNegativeZero) {
    area_.Refresh({-0.001, 50.5, 23.456, 12});
    EXPECT_EQ(Bar(CDisplayArea::kPv).ValueLabel(), "0.00");
    EXPECT_EQ(Bar(CDisplayArea::kPercent).ValueLabel(), "50.50");
    EXPECT_EQ(Bar(CDisplayArea::kTerm).ValueLabel(), "23.46");
    EXPECT_EQ(Bar(CDisplayArea::kAo).ValueLabel(), "12.00");
}

TEST_F(DisplayAreaTest, ReversedDeviceRangeStillScalesFromSmallerToLarger) {
    area_.TakeRange(-50, 150);
    EXPECT_EQ(Bar(CDisplayArea::kPv).ScaleUpper(), 150);
    EXPECT_EQ(Bar(CDisplayArea::kPv).ScaleLower(), -50);
}

TEST_F(DisplayAreaTest, WrongCharacterIsRefusedAndThePreviousLimitPutBack) {
    QLineEdit* edit = area_.UpperEdit(CDisplayArea::kAo);
    prompts_.QueueAnswer(Answer::Ok);
    edit->clear();
    QTest::keyClicks(edit, "12a");
    ASSERT_EQ(prompts_.Messages().size(), 1u);
    EXPECT_EQ(prompts_.Messages()[0].key, "Err_Num_Inalid_char");
    EXPECT_EQ(prompts_.Messages()[0].type, BoxType::OkWarning);
    EXPECT_EQ(edit->text(), "20");
    EXPECT_EQ(Bar(CDisplayArea::kAo).ScaleUpper(), 20);
}

TEST_F(DisplayAreaTest, ScalesAreNotReadWhileTheErrorBoxIsOpen) {
    QLineEdit* edit = area_.LowerEdit(CDisplayArea::kPercent);
    bool openDuringBox = false;
    prompts_.whileOpen = [&] {
        openDuringBox = area_.ErrorBoxOpen();
        area_.ApplyScales();  // what a focus change to the box would do
    };
    prompts_.QueueAnswer(Answer::Ok);
    edit->setText("5x");
    EXPECT_TRUE(openDuringBox);
    EXPECT_FALSE(area_.ErrorBoxOpen());
    EXPECT_EQ(Bar(CDisplayArea::kPercent).ScaleLower(), 0);
    EXPECT_EQ(edit->text(), "0");
}

TEST_F(DisplayAreaTest, LongScaleTextIsCutToEightCharacters) {
    QLineEdit* edit = area_.UpperEdit(CDisplayArea::kPercent);
    edit->setText("123456789");
    area_.ApplyScales();
    EXPECT_EQ(edit->text(), "12345678");
    EXPECT_EQ(Bar(CDisplayArea::kPercent).ScaleUpper(), 12345678);
}

TEST_F(DisplayAreaTest, EnterAndMouseReleaseApplyTheEdits) {
    area_.UpperEdit(CDisplayArea::kTerm)->setText("60");
    area_.LowerEdit(CDisplayArea::kAo)->setText(" +2.5");
    QTest::keyClick(area_.UpperEdit(CDisplayArea::kTerm), Qt::Key_Return);
    EXPECT_EQ(Bar(CDisplayArea::kTerm).ScaleUpper(), 60);
    EXPECT_EQ(Bar(CDisplayArea::kAo).ScaleLower(), 2.5);

    area_.LowerEdit(CDisplayArea::kPercent)->setText("-");  // no number reads as 0
    area_.UpperEdit(CDisplayArea::kPercent)->setText("80");
    QTest::mouseRelease(&area_, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(Bar(CDisplayArea::kPercent).ScaleUpper(), 80);
    EXPECT_EQ(Bar(CDisplayArea::kPercent).ScaleLower(), 0);
}

TEST_F(DisplayAreaTest, LeavingAnEditAppliesIt) {
    area_.show();
    area_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&area_));
    QLineEdit* edit = area_.UpperEdit(CDisplayArea::kAo);
    edit->setFocus();
    ASSERT_TRUE(edit->hasFocus());
    QTest::keyClicks(edit, "5");  // "205"
    area_.LowerEdit(CDisplayArea::kAo)->setFocus();
    EXPECT_EQ(Bar(CDisplayArea::kAo).ScaleUpper(), 205);
}

TEST_F(DisplayAreaTest, EmptyOrReversedTypedRangeIsAcceptedAndDrawsWithoutFill) {
    area_.UpperEdit(CDisplayArea::kAo)->setText("4");
    area_.ApplyScales();
    area_.Refresh({0, 0, 0, 12});
    EXPECT_EQ(Bar(CDisplayArea::kAo).ScaleUpper(), 4);
    EXPECT_EQ(Bar(CDisplayArea::kAo).ValueLabel(), "12.00");
    const BarGeometry g = Bar(CDisplayArea::kAo).Geometry();
    EXPECT_NE(QColor(Bar(CDisplayArea::kAo).Image().pixel(g.left + 5, g.bottom - 1)),
              CTemperature::Green());

    area_.LowerEdit(CDisplayArea::kAo)->setText("20");
    area_.ApplyScales();
    EXPECT_EQ(Bar(CDisplayArea::kAo).ScaleLower(), 20);
    EXPECT_NE(QColor(Bar(CDisplayArea::kAo).Image().pixel(g.left + 5, g.bottom - 1)),
              CTemperature::Green());
}

TEST_F(DisplayAreaTest, ShowEnablesGraphButtonsOnlyWhileConnectedAndPicksTheFocus) {
    QSignalSpy shown(&area_, &CDisplayArea::shown);
    area_.Show(true, false);
    for (int column = 0; column < CDisplayArea::kColumns; ++column) {
        EXPECT_FALSE(area_.GraphButton(column)->isEnabled()) << column;
    }
    EXPECT_EQ(area_.focusWidget(), area_.LowerEdit(CDisplayArea::kPercent));

    area_.Show(true, true);
    for (int column = 0; column < CDisplayArea::kColumns; ++column) {
        EXPECT_TRUE(area_.GraphButton(column)->isEnabled()) << column;
    }
    EXPECT_EQ(area_.focusWidget(), area_.GraphButton(CDisplayArea::kPv));

    area_.Show(false, true);
    EXPECT_FALSE(area_.isVisible());
    ASSERT_EQ(shown.size(), 3);
    EXPECT_TRUE(shown[0][0].toBool());
    EXPECT_FALSE(shown[2][0].toBool());
}

TEST_F(DisplayAreaTest, ShowRelabelsButKeepsTheDeviceUnits) {
    LoadLanguage(
        "<text name=\"1180\">Terminal</text><text name=\"1052\">Trend PV</text>"
        "<text name=\"1051\">mV</text><text name=\"1053\">percent</text>");
    area_.SetUnits("degF", "K", "mA");
    area_.Show(true, true);
    EXPECT_EQ(area_.HeaderText(CDisplayArea::kTerm), "Terminal");
    EXPECT_EQ(area_.GraphButton(CDisplayArea::kPv)->text(), "Trend PV");
    EXPECT_EQ(area_.UnitText(CDisplayArea::kPv), "degF");
    EXPECT_EQ(area_.UnitText(CDisplayArea::kPercent), "percent");
    EXPECT_EQ(area_.UnitText(CDisplayArea::kTerm), "K");
}

TEST_F(DisplayAreaTest, GraphButtonSetsOnlyItsOwnTrendFlag) {
    QSignalSpy requested(&area_, &CDisplayArea::graphRequested);
    area_.Show(true, true);
    QTest::mouseClick(area_.GraphButton(CDisplayArea::kTerm), Qt::LeftButton);
    QTest::mouseClick(area_.GraphButton(CDisplayArea::kAo), Qt::LeftButton);
    ASSERT_EQ(requested.size(), 2);
    EXPECT_EQ(requested[0][0].toInt(), CDisplayArea::kTerm);
    EXPECT_EQ(area_.TrendColumn(), CDisplayArea::kAo);
    EXPECT_FALSE(area_.TrendFlag(CDisplayArea::kTerm));

    area_.Show(true, true);
    EXPECT_FALSE(area_.TrendColumn()) << "showing the monitor ends any trend";
}

// Values that are not live (no device connected) draw no fill and no
// number; live ones come back with the next refresh.
TEST_F(DisplayAreaTest, ValuesThatAreNotLiveLeaveTheBarsEmptyAndBlank) {
    const auto filled = [&](int column) {
        const BarGeometry g = Bar(column).Geometry();
        return Bar(column).Image().pixelColor((g.left + g.right) / 2, g.bottom - 5) !=
               CTemperature::Background();
    };
    area_.Refresh({50, 50, 23.5, 12, true});
    for (int column = 0; column < CDisplayArea::kColumns; ++column) {
        EXPECT_FALSE(Bar(column).ValueLabel().isEmpty()) << column;
        EXPECT_TRUE(filled(column)) << column;
    }
    area_.Refresh({50, 50, 23.5, 12, false});
    for (int column = 0; column < CDisplayArea::kColumns; ++column) {
        EXPECT_EQ(Bar(column).ValueLabel(), "") << column;
        EXPECT_FALSE(filled(column)) << column;
    }
    // A redraw for new scales keeps them blank.
    area_.ApplyScales();
    EXPECT_EQ(Bar(CDisplayArea::kAo).ValueLabel(), "");
    area_.Refresh({50, 50, 23.5, 12, true});
    EXPECT_EQ(Bar(CDisplayArea::kAo).ValueLabel(), "12.00");
}

// The thermometer's default -40 to 100 degC moves with the unit; a scale the
// user typed, or a unit that is no temperature, leaves it as it is.
TEST_F(DisplayAreaTest, TheTerminalDefaultScaleIsConvertedIntoTheDevicesUnit) {
    struct Case {
        const char* unit;
        double upper;
        double lower;
        const char* upperText;
        const char* lowerText;
    };
    for (const Case& c :
         {Case{"Kelvin", 373.15, 233.15, "373.15", "233.15"}, Case{"degF", 212, -40, "212", "-40"},
          Case{"degR", 671.67, 419.67, "671.67", "419.67"}, Case{"degC", 100, -40, "100", "-40"},
          Case{"mV", 100, -40, "100", "-40"}}) {
        area_.SetUnits("degC", c.unit, "mA");
        EXPECT_NEAR(Bar(CDisplayArea::kTerm).ScaleUpper(), c.upper, 1e-9) << c.unit;
        EXPECT_NEAR(Bar(CDisplayArea::kTerm).ScaleLower(), c.lower, 1e-9) << c.unit;
        EXPECT_EQ(area_.UpperEdit(CDisplayArea::kTerm)->text(), c.upperText) << c.unit;
        EXPECT_EQ(area_.LowerEdit(CDisplayArea::kTerm)->text(), c.lowerText) << c.unit;
        EXPECT_EQ(area_.UnitText(CDisplayArea::kTerm), c.unit);
    }
    area_.SetUnits("degC", "Kelvin", "mA");
    area_.UpperEdit(CDisplayArea::kTerm)->setText("320");
    area_.ApplyScales();
    area_.SetUnits("degC", "degC", "mA");
    EXPECT_EQ(Bar(CDisplayArea::kTerm).ScaleUpper(), 320.0);
    EXPECT_NEAR(Bar(CDisplayArea::kTerm).ScaleLower(), 233.15, 1e-9);
}

}  // namespace
}  // namespace qt40
