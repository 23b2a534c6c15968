// The "PV and CJC Sensor Information" panel against the simulated QT40: what
// each button changes in the device, what the panel then shows, and when the
// buttons are on.

#include <cmath>

#include "panels/CDetailSensorInfo.h"
#include "tests/panels/PanelFixture.h"

namespace qt40 {
namespace {

const char* const kPvButtons[] = {"serialNoButton", "sensorRangeButton", "driftAlarmButton"};
const char* const kCjcButtons[] = {"termTempUnitButton", "cjcModeButton", "constantCjcButton"};

class DetailSensorInfoTest : public PanelFixture {
protected:
    CDetailSensorInfo* Open() {
        window_->OpenPanel(CFunctionKeys::kSensorInfo);
        auto* panel =
            dynamic_cast<CDetailSensorInfo*>(window_->PanelFor(CFunctionKeys::kSensorInfo));
        EXPECT_TRUE(panel && panel->isVisible());
        return panel;
    }

    // Values left in the write buffer by some earlier action; no write of
    // this panel may send them.
    void StageStaleValues() {
        window_->Worker().WithSession([](DeviceState& s) {
            s.writes.unitCode = 33;
            s.writes.termTempUnit = 34;
            s.writes.constantCjcText = "999.000";
            s.writes.driftAlarmText = "99.000";
            s.writes.sensorUpperRangeText = "1.0";
            s.writes.sensorLowerRangeText = "-1.0";
        });
    }

    sim::SimState SimulatedState() {
        return Device([](sim::SimState& s) { return s; });
    }
};

TEST_F(DetailSensorInfoTest, ShowsThePvAndCjcGroupsWithTheirUnits) {
    StartConnected();
    CDetailSensorInfo* panel = Open();
    ASSERT_TRUE(panel);
    EXPECT_FALSE(window_->SensorInfoPanel()->isVisible());
    EXPECT_EQ(Text(panel, "sensorType"), "Pt100");
    EXPECT_EQ(Text(panel, "serialNo"), "5512");
    EXPECT_EQ(Text(panel, "sensorUpperRange"), "850.00 degC");
    EXPECT_EQ(Text(panel, "sensorLowerRange"), "-200.00 degC");
    EXPECT_EQ(Text(panel, "driftAlarm"), "5.00 degC");
    EXPECT_EQ(Text(panel, "termTempUnit"), "degC");
    EXPECT_EQ(Text(panel, "cjcMode"), "Internal CJC");
    EXPECT_EQ(Text(panel, "constantCjc"), "25.00 degC");
    for (const char* name : kPvButtons) EXPECT_TRUE(Button(panel, name)->isEnabled()) << name;
    for (const char* name : kCjcButtons) EXPECT_TRUE(Button(panel, name)->isEnabled()) << name;

    panel->findChild<QPushButton*>("close")->click();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(window_->SensorInfoPanel()->isVisible());
}

TEST_F(DetailSensorInfoTest, SerialNumberKeepsTheDigitsBeforeThePoint) {
    StartConnected();
    CDetailSensorInfo* panel = Open();
    prompts_.QueueNumber(Typed("16777215"));
    Button(panel, "serialNoButton")->click();
    ASSERT_TRUE(WaitFor([&] { return Text(panel, "serialNo") == "16777215"; }));
    prompts_.QueueNumber(Typed("12.7"));
    Button(panel, "serialNoButton")->click();
    ASSERT_TRUE(WaitFor([&] { return Text(panel, "serialNo") == "12"; }));
    EXPECT_EQ(SimulatedState().sensorSerialNo, 12u);

    const NumberEntry& asked = prompts_.NumberEntries().at(0);
    EXPECT_EQ(asked.titleKey, "Set_SerialNo_Value_Title");
    EXPECT_EQ(asked.promptKey, "Set_SerialNo_val");
    EXPECT_EQ(asked.initialText, "5512");
    EXPECT_EQ(CheckNumberEntry(asked, "16777216").errorKey, "Err_Range_Input");
    EXPECT_TRUE(CheckNumberEntry(asked, "0").result);
    EXPECT_EQ(prompts_.NumberEntries().at(1).initialText, "16777215");
}

TEST_F(DetailSensorInfoTest, SensorRangeSendsTheEnteredEndsInThePvUnit) {
    StartConnected();
    CDetailSensorInfo* panel = Open();
    StageStaleValues();
    prompts_.QueueNumber(Typed("800"));
    prompts_.QueueNumber(Typed("-100.5"));
    Button(panel, "sensorRangeButton")->click();
    ASSERT_TRUE(WaitFor([&] { return Text(panel, "sensorLowerRange") == "-100.50 degC"; }));
    EXPECT_EQ(Text(panel, "sensorUpperRange"), "800.00 degC");
    const sim::SimState s = SimulatedState();
    EXPECT_FLOAT_EQ(s.sensorUpperRange, 800.0f);
    EXPECT_FLOAT_EQ(s.sensorLowerRange, -100.5f);
    EXPECT_EQ(s.sensorUnit, 32);

    ASSERT_EQ(prompts_.NumberEntries().size(), 2u);
    const NumberEntry& upper = prompts_.NumberEntries()[0];
    EXPECT_EQ(upper.titleKey, "Set_Sensor_Upper_Range_Title");
    EXPECT_EQ(upper.promptKey, "Set_Sensor_Upper_Range");
    EXPECT_EQ(DescribeArgs(upper.promptArgs),
              DescribeArgs({std::string("-200.00"), std::string("850.00"), std::string("degC")}));
    EXPECT_EQ(upper.initialText, "850.00");
    EXPECT_EQ(upper.minimum, -200.0);
    EXPECT_EQ(upper.maximum, 850.0);
    EXPECT_FALSE(upper.zeroAllowed);
    EXPECT_EQ(upper.staging, NumberEntry::Staging::EnteredText);
    const NumberEntry& lower = prompts_.NumberEntries()[1];
    EXPECT_EQ(lower.titleKey, "Set_Sensor_Lower_Range_Title");
    EXPECT_EQ(lower.promptKey, "Set_Sensor_Lower_Range");
    EXPECT_EQ(lower.initialText, "-200.00");
}

TEST_F(DetailSensorInfoTest, ASensorRangeEndOnTheLimitGoesJustInside) {
    StartConnected();
    CDetailSensorInfo* panel = Open();
    prompts_.QueueNumber(Typed("850"));
    prompts_.QueueNumber(Typed("0"));
    Button(panel, "sensorRangeButton")->click();
    ASSERT_TRUE(WaitFor([&] { return Text(panel, "sensorLowerRange") == "0.00 degC"; }));
    const float upper = SimulatedState().sensorUpperRange;
    EXPECT_LT(upper, 850.0f);
    EXPECT_NEAR(upper, 849.9999, 1e-3);
}

TEST_F(DetailSensorInfoTest, ASensorRangeNarrowerThanTheMinimumSpanIsNotSent) {
    StartConnected();
    CDetailSensorInfo* panel = Open();
    prompts_.QueueNumber(Typed("5"));
    prompts_.QueueNumber(Typed("-4.99"));
    prompts_.QueueAnswer(Answer::Ok);
    Button(panel, "sensorRangeButton")->click();
    ASSERT_EQ(prompts_.Messages().size(), 1u);
    EXPECT_EQ(prompts_.Messages()[0].key, "Err_Span");
    EXPECT_EQ(prompts_.Messages()[0].type, BoxType::OkWarning);
    EXPECT_EQ(DescribeArgs(prompts_.Messages()[0].args),
              DescribeArgs({std::string("10.00"), std::string("degC")}));
    EXPECT_TRUE(window_->isEnabled());
    ASSERT_TRUE(LetPollsPass());
    EXPECT_FLOAT_EQ(SimulatedState().sensorUpperRange, 850.0f);
    EXPECT_EQ(Text(panel, "sensorUpperRange"), "850.00 degC");

    // Exactly the minimum span is enough.
    prompts_.QueueNumber(Typed("5"));
    prompts_.QueueNumber(Typed("-5"));
    Button(panel, "sensorRangeButton")->click();
    ASSERT_TRUE(WaitFor([&] { return Text(panel, "sensorUpperRange") == "5.00 degC"; }));
    EXPECT_FLOAT_EQ(SimulatedState().sensorLowerRange, -5.0f);
}

TEST_F(DetailSensorInfoTest, DriftAlarmIsSentInThePvUnit) {
    sim::SimDevice device;
    device.State().lowerRange = -50.0f;
    StartConnected(std::move(device));
    CDetailSensorInfo* panel = Open();
    StageStaleValues();
    prompts_.QueueNumber(Typed("7.5"));
    Button(panel, "driftAlarmButton")->click();
    ASSERT_TRUE(WaitFor([&] { return Text(panel, "driftAlarm") == "7.50 degC"; }));
    EXPECT_FLOAT_EQ(SimulatedState().driftAlarm, 7.5f);

    const NumberEntry& asked = prompts_.NumberEntries().at(0);
    EXPECT_EQ(asked.titleKey, "Set_DriftAlarm_Title");
    EXPECT_EQ(asked.promptKey, "Set_DriftAlarm_val");
    EXPECT_EQ(DescribeArgs(asked.promptArgs),
              DescribeArgs({std::string("0.00"), std::string("100.00"), std::string("degC")}));
    EXPECT_EQ(asked.initialText, "5.00");
    EXPECT_TRUE(CheckNumberEntry(asked, "100").result);
    EXPECT_TRUE(CheckNumberEntry(asked, "0").result);
    EXPECT_EQ(CheckNumberEntry(asked, "100.1").errorKey, "Err_Range_Input");
    EXPECT_EQ(CheckNumberEntry(asked, "-1").errorKey, "Err_Range_Input");
}

TEST_F(DetailSensorInfoTest, ANewTerminalUnitIsReadBackWithTheConvertedConstant) {
    StartConnected();
    CDetailSensorInfo* panel = Open();
    prompts_.QueueSelection(SelectionResult{3, 35});
    Button(panel, "termTempUnitButton")->click();
    ASSERT_TRUE(WaitFor([&] { return Text(panel, "constantCjc") == "298.15 Kelvin"; }));
    EXPECT_EQ(Text(panel, "termTempUnit"), "Kelvin");
    EXPECT_TRUE(window_->isEnabled());
    EXPECT_EQ(SimulatedState().termTempUnit, 35);
    EXPECT_EQ(window_->Worker().RecordSnapshot().termTempUnit, 35);

    const Selection& offered = prompts_.Selections().at(0);
    EXPECT_EQ(offered.titleKey, "Select_CJC_Unit");
    EXPECT_EQ(offered.names, (std::vector<std::string>{"degC", "degF", "degR", "Kelvin"}));
    EXPECT_EQ(offered.preselectCode, std::optional<int>(32));
}

TEST_F(DetailSensorInfoTest, CjcModeIsWrittenAlone) {
    StartConnected();
    CDetailSensorInfo* panel = Open();
    prompts_.QueueSelection(SelectionResult{3, 3});
    Button(panel, "cjcModeButton")->click();
    ASSERT_TRUE(WaitFor([&] { return Text(panel, "cjcMode") == "Constant CJC"; }));
    const sim::SimState s = SimulatedState();
    EXPECT_EQ(s.cjcMode, 3);
    EXPECT_FLOAT_EQ(s.constantCjcValue, 25.0f);
    const Selection& offered = prompts_.Selections().at(0);
    EXPECT_EQ(offered.titleKey, "Set_CJCMode");
    EXPECT_EQ(offered.preselectCode, std::optional<int>(1));
    EXPECT_EQ(offered.names.size(), 4u);
}

TEST_F(DetailSensorInfoTest, ConstantCjcInKelvinTakesItsOwnLimitsAndZero) {
    sim::SimDevice device;
    device.State().termTempUnit = 35;
    device.State().constantCjcValue = 298.15f;
    StartConnected(std::move(device));
    CDetailSensorInfo* panel = Open();
    EXPECT_EQ(Text(panel, "constantCjc"), "298.15 Kelvin");
    StageStaleValues();

    const struct {
        const char* typed;
        float sent;
        const char* shown;
    } cases[] = {{"473.15", 473.15f, "473.15 Kelvin"},
                 {"123.15", 123.15f, "123.15 Kelvin"},
                 {"0", 0.0f, "0.00 Kelvin"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        prompts_.QueueNumber(Typed(c.typed));
        Button(panel, "constantCjcButton")->click();
        ASSERT_TRUE(WaitFor([&] { return Text(panel, "constantCjc") == c.shown; }));
        const sim::SimState s = SimulatedState();
        EXPECT_EQ(s.termTempUnit, 35);
        EXPECT_NEAR(s.constantCjcValue, c.sent, 1e-3);
    }

    const NumberEntry& asked = prompts_.NumberEntries().at(0);
    EXPECT_EQ(asked.titleKey, "Set_ConstCJC_Title");
    EXPECT_EQ(asked.promptKey, "Set_ConstCJC_val");
    EXPECT_EQ(DescribeArgs(asked.promptArgs),
              DescribeArgs({std::string("123.15"), std::string("473.15"), std::string("Kelvin")}));
    EXPECT_EQ(asked.initialText, "298.15");
    EXPECT_EQ(asked.staging, NumberEntry::Staging::FormattedText);
    EXPECT_TRUE(CheckNumberEntry(asked, "0").result);
    EXPECT_EQ(CheckNumberEntry(asked, "123.14").errorKey, "Err_Range_Input");
    EXPECT_EQ(CheckNumberEntry(asked, "473.16").errorKey, "Err_Range_Input");
}

TEST_F(DetailSensorInfoTest, CancelAtEveryStepSendsNothing) {
    StartConnected();
    CDetailSensorInfo* panel = Open();
    StageStaleValues();
    const sim::SimState before = SimulatedState();

    prompts_.QueueNumber(std::nullopt);
    Button(panel, "serialNoButton")->click();
    prompts_.QueueNumber(std::nullopt);
    Button(panel, "sensorRangeButton")->click();
    prompts_.QueueNumber(Typed("700"));
    prompts_.QueueNumber(std::nullopt);
    Button(panel, "sensorRangeButton")->click();
    prompts_.QueueNumber(std::nullopt);
    Button(panel, "driftAlarmButton")->click();
    prompts_.QueueSelection(std::nullopt);
    Button(panel, "termTempUnitButton")->click();
    prompts_.QueueSelection(std::nullopt);
    Button(panel, "cjcModeButton")->click();
    prompts_.QueueNumber(std::nullopt);
    Button(panel, "constantCjcButton")->click();
    EXPECT_TRUE(window_->isEnabled());
    ASSERT_TRUE(LetPollsPass());

    const sim::SimState after = SimulatedState();
    EXPECT_FALSE(after.configChanged);
    EXPECT_EQ(after.sensorSerialNo, before.sensorSerialNo);
    EXPECT_EQ(after.sensorUpperRange, before.sensorUpperRange);
    EXPECT_EQ(after.driftAlarm, before.driftAlarm);
    EXPECT_EQ(after.termTempUnit, before.termTempUnit);
    EXPECT_EQ(after.cjcMode, before.cjcMode);
    EXPECT_EQ(after.constantCjcValue, before.constantCjcValue);
    // The half-entered range staged nothing either.
    EXPECT_EQ(
        window_->Worker().WithSession([](DeviceState& s) { return s.writes.sensorUpperRangeText; }),
        "1.0");
}

TEST_F(DetailSensorInfoTest, AMillivoltSensorHasNoCjcButtons) {
    sim::SimDevice device;
    device.State().sensorType = 129;
    device.State().pvUnit = 36;
    device.State().sensorUnit = 36;
    StartConnected(std::move(device));
    CDetailSensorInfo* panel = Open();
    EXPECT_EQ(Text(panel, "sensorType"), "Millivolt");
    for (const char* name : kPvButtons) EXPECT_TRUE(Button(panel, name)->isEnabled()) << name;
    for (const char* name : kCjcButtons) EXPECT_FALSE(Button(panel, name)->isEnabled()) << name;
}

TEST_F(DetailSensorInfoTest, AnotherModelGetsNoButtons) {
    StartConnected(sim::SimDevice(sim::SimModel::QT30));
    CDetailSensorInfo* panel = Open();
    for (const char* name : kPvButtons) EXPECT_FALSE(Button(panel, name)->isEnabled()) << name;
    for (const char* name : kCjcButtons) EXPECT_FALSE(Button(panel, name)->isEnabled()) << name;
    EXPECT_TRUE(Button(panel, "close")->isEnabled());
}

TEST_F(DetailSensorInfoTest, ARefusalByTheDeviceEndsTheSequenceAndKeepsTheConnection) {
    StartConnected();
    CDetailSensorInfo* panel = Open();
    server_->WithDevice([](sim::SimDevice& d) { d.Faults().responseCodeFor[136] = 2; });
    prompts_.QueueSelection(SelectionResult{1, 33});
    Button(panel, "termTempUnitButton")->click();
    EXPECT_FALSE(window_->isEnabled());
    ASSERT_TRUE(LetPollsPass());
    EXPECT_TRUE(window_->isEnabled());
    EXPECT_TRUE(panel->isVisible());
    EXPECT_TRUE(window_->Connection().Connected());
    EXPECT_EQ(Text(panel, "termTempUnit"), "degC");
    EXPECT_EQ(SimulatedState().termTempUnit, 32);
    EXPECT_TRUE(prompts_.Messages().empty());
}

TEST_F(DetailSensorInfoTest, AWriteThatIsGivenUpLeavesDeviceAndPanelAsTheyWere) {
    StartConnected();
    CDetailSensorInfo* panel = Open();
    DropEveryAnswerTo(148);
    prompts_.QueueNumber(Typed("9"));
    Button(panel, "driftAlarmButton")->click();
    ASSERT_TRUE(WaitFor([&] { return !panel->isVisible(); }));

    EXPECT_FALSE(window_->Connection().Connected());
    ASSERT_EQ(prompts_.Messages().size(), 1u);
    EXPECT_EQ(prompts_.Messages()[0].key, "Err_COM");
    EXPECT_TRUE(window_->SensorInfoPanel()->isVisible());
    EXPECT_TRUE(window_->isEnabled());
    EXPECT_EQ(Text(panel, "driftAlarm"), "5.00 degC");
    EXPECT_FLOAT_EQ(window_->Worker().RecordSnapshot().driftAlarm, 5.0);
    EXPECT_FLOAT_EQ(SimulatedState().driftAlarm, 5.0f);
}

}  // namespace
}  // namespace qt40
