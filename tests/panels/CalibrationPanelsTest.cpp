// The analog output, AO alarm, DAC trim, sensor calibration and wire
// resistance panels against the simulated QT40, checked on what the device
// ends up holding.

#include <cmath>

#include "panels/CAOAlarm.h"
#include "panels/CAnalogOP.h"
#include "panels/CSensorCalib.h"
#include "panels/CTrimDAC.h"
#include "panels/CWireResistance.h"
#include "tests/panels/PanelFixture.h"

namespace qt40 {
namespace {

class CalibrationPanelsTest : public PanelFixture {
protected:
    template <class P>
    P* Open(int key) {
        window_->OpenPanel(key);
        auto* panel = dynamic_cast<P*>(window_->PanelFor(key));
        EXPECT_TRUE(panel && panel->isVisible());
        return panel;
    }

    sim::SimState SimulatedState() {
        return Device([](sim::SimState& s) { return s; });
    }

    float FixedCurrent() {
        return Device([](sim::SimState& s) { return s.fixedCurrent; });
    }

    bool WindowIdle() { return window_->isEnabled(); }
};

TEST_F(CalibrationPanelsTest, AnalogOutputFixesTheCurrentAndLeavesFixedMode) {
    StartConnected();
    auto* panel = Open<CAnalogOP>(CFunctionKeys::kAnalogOutput);
    ASSERT_TRUE(panel);

    prompts_.QueueNumber(Typed("12.5"));
    prompts_.QueueAnswer(Answer::Ok);  // the loop is in manual
    Button(panel, "specified")->click();
    ASSERT_TRUE(WaitFor([&] { return FixedCurrent() == 12.5f && WindowIdle(); }));
    ASSERT_EQ(prompts_.NumberEntries().size(), 1u);
    const NumberEntry& entry = prompts_.NumberEntries()[0];
    EXPECT_EQ(entry.titleKey, "Set_AnalogOP_Val");
    EXPECT_EQ(entry.promptKey, "Set_Analog_Output");
    EXPECT_EQ(DescribeArgs(entry.promptArgs),
              DescribeArgs({std::string("3.8"), std::string("22"), std::string("mA")}));
    EXPECT_EQ(entry.minimum, 3.8);
    EXPECT_EQ(entry.maximum, 22.0);
    // The record follows the device's answer, and the monitor with it.
    EXPECT_TRUE(WaitFor([&] { return window_->Worker().RecordSnapshot().loopCurrent == 12.5; }));

    // A cancelled entry sends nothing.
    prompts_.QueueNumber(std::nullopt);
    Button(panel, "specified")->click();
    EXPECT_TRUE(LetPollsPass());
    EXPECT_EQ(FixedCurrent(), 12.5f);

    Button(panel, "exitFixed")->click();
    ASSERT_TRUE(WaitFor([&] { return FixedCurrent() == 0.0f && WindowIdle(); }));

    // At the loop current the device reports now (the next poll brings it), as "%4.3f".
    ASSERT_TRUE(LetPollsPass());
    Button(panel, "currentPv")->click();
    ASSERT_TRUE(WaitFor([&] { return FixedCurrent() != 0.0f && WindowIdle(); }));
    const std::string level =
        window_->Worker().WithSession([](DeviceState& s) { return s.writes.fixedCurrentText; });
    EXPECT_EQ(level.find('.'), level.size() - 4) << level;

    // Closing the panel leaves the current as it is, and says so.
    ASSERT_TRUE(LetPollsPass());
    const float fixed = FixedCurrent();
    prompts_.QueueAnswer(Answer::Ok);
    panel->findChild<QPushButton*>("close")->click();
    ASSERT_EQ(prompts_.Messages().size(), 2u);
    EXPECT_EQ(prompts_.Messages()[0].key, "Confr_Fixed_Current_Manual");
    EXPECT_EQ(prompts_.Messages()[1].key, "Info_AO_Stays_Fixed");
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(window_->SensorInfoPanel()->isVisible());
    EXPECT_TRUE(LetPollsPass());
    EXPECT_EQ(FixedCurrent(), fixed);
}

TEST_F(CalibrationPanelsTest, AoAlarmWritesSaturationModeAndAlarmValues) {
    StartConnected();
    auto* panel = Open<CAOAlarm>(CFunctionKeys::kAoAlarm);
    ASSERT_TRUE(panel);
    EXPECT_EQ(Text(panel, "saturationHigh"), "20.50");
    EXPECT_EQ(Text(panel, "saturationLow"), "3.90");
    EXPECT_EQ(Text(panel, "alarmHigh"), "21.75");
    EXPECT_EQ(Text(panel, "alarmLow"), "3.75");
    EXPECT_EQ(Text(panel, "mode"), "High");

    // Cancelling the low value after accepting the high one sends nothing.
    prompts_.QueueNumber(Typed("21.0"));
    prompts_.QueueNumber(std::nullopt);
    Button(panel, "saturationButton")->click();
    EXPECT_TRUE(LetPollsPass());
    EXPECT_EQ(SimulatedState().aoSaturationHigh, 20.5f);

    prompts_.QueueNumber(Typed("21.2"));
    prompts_.QueueNumber(Typed("3.85"));
    Button(panel, "saturationButton")->click();
    ASSERT_TRUE(WaitFor([&] { return Text(panel, "saturationHigh") == "21.20" && WindowIdle(); }));
    EXPECT_EQ(Text(panel, "saturationLow"), "3.85");

    prompts_.QueueNumber(Typed("22.5"));
    prompts_.QueueNumber(Typed("3.78"));
    Button(panel, "alarmButton")->click();
    ASSERT_TRUE(WaitFor([&] { return Text(panel, "alarmHigh") == "22.50" && WindowIdle(); }));

    prompts_.QueueSelection(SelectionResult{1, 1});
    Button(panel, "modeButton")->click();
    ASSERT_TRUE(WaitFor([&] { return Text(panel, "mode") == "Low"; }));

    const sim::SimState s = SimulatedState();
    EXPECT_FLOAT_EQ(s.aoSaturationHigh, 21.2f);
    EXPECT_FLOAT_EQ(s.aoSaturationLow, 3.85f);
    EXPECT_FLOAT_EQ(s.aoAlarmHigh, 22.5f);
    EXPECT_FLOAT_EQ(s.aoAlarmLow, 3.78f);
    EXPECT_EQ(s.aoAlarmMode, 1);

    // Each entry with its own keys, limits (as the prompt names them) and the value shown.
    const struct {
        const char* title;
        double minimum, maximum;
        const char* lowText;
        const char* highText;
        const char* initial;
    } rows[] = {
        {"Set_Saturation_High_Title", 20.0, 21.5, "20.0", "21.5", "20.50"},
        {"Set_Saturation_Low_Title", 3.8, 4.0, "3.8", "4.0", "3.90"},  // (the cancelled pair)
        {"Set_Saturation_High_Title", 20.0, 21.5, "20.0", "21.5", "20.50"},
        {"Set_Saturation_Low_Title", 3.8, 4.0, "3.8", "4.0", "3.90"},
        {"Set_AO_Alarm_High_Title", 21.5, 23.0, "21.5", "23.0", "21.75"},
        {"Set_AO_Alarm_Low_Title", 3.75, 3.8, "3.75", "3.8", "3.75"},
    };
    ASSERT_EQ(prompts_.NumberEntries().size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const NumberEntry& e = prompts_.NumberEntries()[i];
        EXPECT_EQ(e.titleKey, rows[i].title) << i;
        EXPECT_EQ(e.minimum, rows[i].minimum) << i;
        EXPECT_EQ(e.maximum, rows[i].maximum) << i;
        EXPECT_EQ(DescribeArgs(e.promptArgs),
                  DescribeArgs({std::string(rows[i].lowText), std::string(rows[i].highText),
                                std::string("mA")}))
            << i;
        EXPECT_EQ(e.initialText, rows[i].initial) << i;
    }
    ASSERT_EQ(prompts_.Selections().size(), 1u);
    EXPECT_EQ(prompts_.Selections()[0].titleKey, "Set_AlarmMode");
}

TEST_F(CalibrationPanelsTest, AoAlarmOfAnotherModelCannotBeChanged) {
    StartConnected(sim::SimDevice(sim::SimModel::QT30));
    auto* panel = Open<CAOAlarm>(CFunctionKeys::kAoAlarm);
    ASSERT_TRUE(panel);
    for (const char* name : {"saturationButton", "modeButton", "alarmButton"}) {
        EXPECT_FALSE(Button(panel, name)->isEnabled()) << name;
    }
    EXPECT_EQ(Text(panel, "alarmHigh"), "21.75");
}

TEST_F(CalibrationPanelsTest, DacTrimAtBothPointsAndCloseLeavesFixedMode) {
    StartConnected();
    auto* panel = Open<CTrimDAC>(CFunctionKeys::kTrimDac);
    ASSERT_TRUE(panel);

    // No point chosen yet: the trim is refused with a message.
    prompts_.QueueAnswer(Answer::Ok);
    Button(panel, "trim")->click();
    ASSERT_EQ(prompts_.Messages().size(), 1u);
    EXPECT_EQ(prompts_.Messages()[0].key, "Err_Trim_Mode_Not_Set");
    EXPECT_TRUE(prompts_.NumberEntries().empty());

    prompts_.QueueAnswer(Answer::Ok);  // the loop is in manual
    Button(panel, "lowerTrim")->click();
    ASSERT_TRUE(WaitFor([&] { return panel->Procedure().TrimMode() == 0 && WindowIdle(); }));
    EXPECT_EQ(FixedCurrent(), 4.0f);
    prompts_.QueueNumber(Typed("4.1"));
    prompts_.QueueAnswer(Answer::Ok);  // the trim was taken
    Button(panel, "trim")->click();
    ASSERT_TRUE(WaitFor(
        [&] { return std::fabs(SimulatedState().dacZeroTrim + 0.1f) < 1e-4f && WindowIdle(); }));

    Button(panel, "upperTrim")->click();
    ASSERT_TRUE(WaitFor([&] { return panel->Procedure().TrimMode() == 1 && WindowIdle(); }));
    EXPECT_EQ(FixedCurrent(), 20.0f);
    prompts_.QueueNumber(Typed("19.85"));
    prompts_.QueueAnswer(Answer::Ok);
    Button(panel, "trim")->click();
    ASSERT_TRUE(WaitFor([&] { return std::fabs(SimulatedState().dacGainTrim - 0.15f) < 1e-4f; }));
    ASSERT_TRUE(WaitFor([&] { return WindowIdle(); }));

    ASSERT_EQ(prompts_.NumberEntries().size(), 2u);
    const NumberEntry& lower = prompts_.NumberEntries()[0];
    EXPECT_EQ(lower.titleKey, "Set_Calibration_Val_Trim");
    EXPECT_EQ(DescribeArgs(lower.promptArgs),
              DescribeArgs({std::string("3.800"), std::string("4.200"), std::string("mA")}));
    EXPECT_EQ(lower.initialText, "4.000");
    EXPECT_EQ(lower.maximum, 4.2);
    const NumberEntry& upper = prompts_.NumberEntries()[1];
    EXPECT_EQ(upper.initialText, "20.000");
    EXPECT_EQ(upper.minimum, 19.8);

    // Clearing goes back to the factory trim and needs a new trim point.
    prompts_.QueueAnswer(Answer::Yes);
    Button(panel, "clearTrim")->click();
    ASSERT_TRUE(WaitFor([&] { return panel->Procedure().TrimMode() == -1 && WindowIdle(); }));
    EXPECT_EQ(SimulatedState().dacZeroTrim, 0.0f);
    EXPECT_EQ(SimulatedState().dacGainTrim, 0.0f);
    EXPECT_NE(FixedCurrent(), 0.0f);  // fixed again at the loop current

    panel->findChild<QPushButton*>("close")->click();
    EXPECT_FALSE(panel->isVisible());
    ASSERT_TRUE(WaitFor([&] { return FixedCurrent() == 0.0f; }));
    EXPECT_TRUE(window_->SensorInfoPanel()->isVisible());
}

// A level whose exchange is lost (here after the device took it: it already
// holds it) is not asked about: level 0 follows and is tried until answered.
// So in the Trim DAC panel, whose trim is lost while the output is fixed.
TEST_F(CalibrationPanelsTest, ALostLevelOrTrimEndsWithLevelZeroAnswered) {
    StartConnected();
    auto* analog = Open<CAnalogOP>(CFunctionKeys::kAnalogOutput);
    ASSERT_TRUE(analog);
    server_->WithDevice([](sim::SimDevice& d) {
        d.State().fixedCurrent = 12.5f;
        d.Faults().onlyCommand = 40;
        d.Faults().dropAnswer.remaining = 8;  // the level, then level 0's first exchange
    });
    // Only the notice of the connection's first fixed level is shown.
    const std::size_t asked = prompts_.Messages().size() + 1;
    prompts_.QueueNumber(Typed("12.5"));
    prompts_.QueueAnswer(Answer::Ok);
    Button(analog, "specified")->click();
    ASSERT_TRUE(WaitFor([&] { return FixedCurrent() == 0.0f && WindowIdle(); }));
    EXPECT_EQ(prompts_.Messages().size(), asked);
    EXPECT_TRUE(window_->Connection().Connected());
    analog->findChild<QPushButton*>("close")->click();

    auto* trim = Open<CTrimDAC>(CFunctionKeys::kTrimDac);
    ASSERT_TRUE(trim);
    Button(trim, "lowerTrim")->click();
    ASSERT_TRUE(WaitFor([&] { return trim->Procedure().TrimMode() == 0 && WindowIdle(); }));
    EXPECT_EQ(FixedCurrent(), 4.0f);
    server_->WithDevice([](sim::SimDevice& d) {
        d.Faults().onlyCommand = 45;
        d.Faults().dropAnswer.remaining = 4;
    });
    prompts_.QueueNumber(Typed("4.1"));
    Button(trim, "trim")->click();
    ASSERT_TRUE(WaitFor([&] { return !trim->isVisible() && WindowIdle(); }));
    EXPECT_EQ(FixedCurrent(), 0.0f);
    EXPECT_TRUE(trim->Procedure().Release0().Released());
    EXPECT_EQ(prompts_.Messages().size(), asked);
    EXPECT_TRUE(window_->Connection().Connected());
}

TEST_F(CalibrationPanelsTest, SensorZeroSpanAndClearOnTheChosenSensor) {
    sim::SimDevice device;
    device.State().processSwing = 0.0;  // a steady input: 25 degC
    device.State().measurementType = 1;
    StartConnected(std::move(device));
    auto* panel = Open<CSensorCalib>(CFunctionKeys::kSensorCal);
    ASSERT_TRUE(panel);
    EXPECT_EQ(Text(panel, "sensor"), "Calibrating Sensor #1");
    EXPECT_TRUE(Button(panel, "selectSensor")->isEnabled());
    // The idle poll brings the readings while the panel is open.
    ASSERT_TRUE(WaitFor([&] { return Text(panel, "pv") == "25.000000"; }));
    EXPECT_EQ(Text(panel, "pvUnit"), "degC");

    prompts_.QueueNumber(Typed("24.5"));
    Button(panel, "zeroCalibration")->click();
    ASSERT_TRUE(WaitFor([&] { return Text(panel, "zeroPoint") == "24.5000" && WindowIdle(); }));
    EXPECT_EQ(Text(panel, "zeroValue"), "0.5000");
    EXPECT_EQ(Text(panel, "zeroPointUnit"), "degC");

    prompts_.QueueNumber(Typed("50"));
    Button(panel, "spanCalibration")->click();
    ASSERT_TRUE(WaitFor([&] { return Text(panel, "gain") == "2.0000" && WindowIdle(); }));
    {
        const sim::SimState s = SimulatedState();
        EXPECT_FLOAT_EQ(s.sensorTrim[0].zeroPoint, 24.5f);
        EXPECT_FLOAT_EQ(s.sensorTrim[0].zeroValue, 0.5f);
        EXPECT_FLOAT_EQ(s.sensorTrim[0].spanGain, 2.0f);
        EXPECT_FLOAT_EQ(s.sensorTrim[1].spanGain, 1.0f);
    }
    ASSERT_EQ(prompts_.NumberEntries().size(), 2u);
    const NumberEntry& zero = prompts_.NumberEntries()[0];
    EXPECT_EQ(zero.titleKey, "Set_Calibration_Val_Zero");
    EXPECT_EQ(zero.promptKey, "Set_Calibration_val");
    EXPECT_EQ(
        DescribeArgs(zero.promptArgs),
        DescribeArgs({std::string("-200.000000"), std::string("850.000000"), std::string("degC")}));
    EXPECT_EQ(zero.initialText, "25.000000");
    EXPECT_EQ(zero.minimum, -200.0);
    EXPECT_EQ(prompts_.NumberEntries()[1].titleKey, "Set_Calibration_Val_Span");

    // Sensor 2 from here on.
    prompts_.QueueSelection(SelectionResult{1, 2});
    Button(panel, "selectSensor")->click();
    ASSERT_TRUE(
        WaitFor([&] { return Text(panel, "sensor") == "Calibrating Sensor #2" && WindowIdle(); }));
    prompts_.QueueNumber(Typed("26"));
    Button(panel, "zeroCalibration")->click();
    ASSERT_TRUE(
        WaitFor([&] { return SimulatedState().sensorTrim[1].zeroPoint == 26.0f && WindowIdle(); }));

    // Clearing asks first; No sends nothing.
    prompts_.QueueAnswer(Answer::No);
    Button(panel, "clearCalibration")->click();
    EXPECT_TRUE(LetPollsPass());
    EXPECT_EQ(SimulatedState().sensorTrim[1].zeroPoint, 26.0f);
    prompts_.QueueAnswer(Answer::Yes);
    Button(panel, "clearCalibration")->click();
    ASSERT_TRUE(
        WaitFor([&] { return SimulatedState().sensorTrim[1].zeroPoint == 0.0f && WindowIdle(); }));
    EXPECT_FLOAT_EQ(SimulatedState().sensorTrim[0].spanGain, 2.0f);

    panel->findChild<QPushButton*>("close")->click();
    EXPECT_FALSE(panel->isVisible());
}

TEST_F(CalibrationPanelsTest, SingleSensorCannotChooseAndReopeningStartsAtSensorOne) {
    StartConnected();
    auto* panel = Open<CSensorCalib>(CFunctionKeys::kSensorCal);
    ASSERT_TRUE(panel);
    EXPECT_FALSE(Button(panel, "selectSensor")->isEnabled());
    EXPECT_EQ(Text(panel, "sensor"), "Calibrating Sensor #1");
    Button(panel, "readCalibration")->click();
    ASSERT_TRUE(WaitFor([&] { return WindowIdle() && Text(panel, "gain") == "1.0000"; }));
}

TEST_F(CalibrationPanelsTest, WireResistanceCalibrationWritesTheDifference) {
    sim::SimDevice device;
    // A sensor reading of 110.5 ohms with 0.2 ohms of lead wire.
    device.State().rtdA = 0.0f;
    device.State().rtdR0 = 110.3f;
    device.State().leadWireResistance = 0.2f;
    device.State().sensorTrim[0].zeroPoint = 7.0f;
    StartConnected(std::move(device));
    auto* panel = Open<CWireResistance>(CFunctionKeys::kWireResistance);
    ASSERT_TRUE(panel);
    ASSERT_TRUE(WaitFor([&] { return Text(panel, "wireResistance") == "0.2000" && WindowIdle(); }));
    EXPECT_TRUE(Button(panel, "calibrateWire")->isEnabled());

    prompts_.QueueNumber(Typed("100"));
    Button(panel, "calibrateWire")->click();
    EXPECT_FALSE(Button(panel, "calibrateWire")->isEnabled());
    ASSERT_TRUE(
        WaitFor([&] { return Text(panel, "wireResistance") == "10.7000" && WindowIdle(); }));
    EXPECT_TRUE(Button(panel, "calibrateWire")->isEnabled());
    EXPECT_EQ(window_->Worker().WithSession(
                  [](DeviceState& s) { return s.writes.leadWireResistanceText; }),
              "10.700000");
    EXPECT_FLOAT_EQ(SimulatedState().leadWireResistance, 10.7f);
    EXPECT_EQ(SimulatedState().sensorTrim[0].zeroPoint, 0.0f);  // sensor 1 cleared first
    ASSERT_EQ(prompts_.NumberEntries().size(), 1u);
    const NumberEntry& entry = prompts_.NumberEntries()[0];
    EXPECT_EQ(entry.titleKey, "Set_CalibWireResist_Title");
    EXPECT_EQ(entry.initialText, "110.500000");
    EXPECT_EQ(entry.maximum, 4000.0);
}

TEST_F(CalibrationPanelsTest, ACalibratedResistanceOutsideTwentyOhmsIsRefused) {
    sim::SimDevice device;
    device.State().rtdA = 0.0f;
    device.State().rtdR0 = 110.3f;
    device.State().leadWireResistance = 0.2f;
    StartConnected(std::move(device));
    auto* panel = Open<CWireResistance>(CFunctionKeys::kWireResistance);
    ASSERT_TRUE(panel);
    ASSERT_TRUE(WaitFor([&] { return WindowIdle(); }));

    prompts_.QueueNumber(Typed("85.7"));  // 110.5 - 85.7 + 0.2 = 25 ohms
    prompts_.QueueAnswer(Answer::Ok);
    Button(panel, "calibrateWire")->click();
    ASSERT_TRUE(WaitFor([&] { return prompts_.Messages().size() == 1u && WindowIdle(); }));
    EXPECT_EQ(prompts_.Messages()[0].key, "Err_WireResist_Calibrated");
    EXPECT_EQ(DescribeArgs(prompts_.Messages()[0].args), DescribeArgs({std::string("25.000000")}));
    EXPECT_TRUE(LetPollsPass());
    EXPECT_FLOAT_EQ(SimulatedState().leadWireResistance, 0.2f);
    EXPECT_EQ(Text(panel, "wireResistance"), "0.2000");
    EXPECT_TRUE(Button(panel, "calibrateWire")->isEnabled());

    // A typed value within 0 … 20 ohms is written as typed.
    prompts_.QueueNumber(Typed("5.25"));
    Button(panel, "writeWire")->click();
    ASSERT_TRUE(WaitFor([&] { return Text(panel, "wireResistance") == "5.2500"; }));
    EXPECT_FLOAT_EQ(SimulatedState().leadWireResistance, 5.25f);
    const NumberEntry& typed = prompts_.NumberEntries().back();
    EXPECT_EQ(typed.titleKey, "Set_WriteWireResist_Title");
    EXPECT_EQ(typed.initialText, "0.2000");
    EXPECT_EQ(typed.maximum, 20.0);
}

TEST_F(CalibrationPanelsTest, AThermocoupleHasNoWireResistanceCalibration) {
    sim::SimDevice device;
    device.State().sensorType = 129;  // a thermocouple
    StartConnected(std::move(device));
    auto* panel = Open<CWireResistance>(CFunctionKeys::kWireResistance);
    ASSERT_TRUE(panel);
    ASSERT_TRUE(WaitFor([&] { return WindowIdle(); }));
    EXPECT_FALSE(Button(panel, "calibrateWire")->isEnabled());
    EXPECT_TRUE(Button(panel, "writeWire")->isEnabled());
}

// A loop left at a fixed current is offered back to the PV when the program
// closes or the connection is ended on purpose; level 0 sets nothing to ask.
TEST_F(CalibrationPanelsTest, LeavingWithAFixedCurrentAsksFirst) {
    StartConnected();
    auto* panel = Open<CAnalogOP>(CFunctionKeys::kAnalogOutput);
    ASSERT_TRUE(panel);
    prompts_.QueueNumber(Typed("12.5"));
    prompts_.QueueAnswer(Answer::Ok);  // the loop is in manual
    Button(panel, "specified")->click();
    ASSERT_TRUE(WaitFor([&] { return FixedCurrent() == 12.5f && WindowIdle(); }));
    ASSERT_TRUE(LetPollsPass());       // an idle poll may free the window before the answer
    prompts_.QueueAnswer(Answer::Ok);  // it stays fixed
    panel->findChild<QPushButton*>("close")->click();
    ASSERT_EQ(prompts_.Messages().size(), 2u);

    // Disconnecting, answered No: the loop stays fixed, and the next
    // connection starts with nothing to ask.
    window_->OpenPanel(CFunctionKeys::kConnect);
    prompts_.QueueAnswer(Answer::No);
    Button(window_->ConnectPanel(), "disconnect")->click();
    EXPECT_FALSE(window_->Connection().Connected());
    EXPECT_EQ(FixedCurrent(), 12.5f);
    ASSERT_EQ(prompts_.Messages().size(), 3u);
    EXPECT_EQ(prompts_.Messages()[2].key, "Confr_Leave_Fixed_Current");
    EXPECT_EQ(DescribeArgs(prompts_.Messages()[2].args), DescribeArgs({std::string("12.500")}));
    EXPECT_EQ(prompts_.Messages()[2].type, BoxType::YesNoQuestion);
    Connect();
    prompts_.QueueAnswer(Answer::Yes);  // only the closing question
    window_->close();
    EXPECT_FALSE(window_->Worker().Running());
    EXPECT_EQ(prompts_.Messages().size(), 4u);
    EXPECT_EQ(FixedCurrent(), 12.5f);
}

TEST_F(CalibrationPanelsTest, ClosingWithAFixedCurrentSendsLevelZeroOnYes) {
    StartConnected();
    auto* panel = Open<CTrimDAC>(CFunctionKeys::kTrimDac);
    ASSERT_TRUE(panel);
    prompts_.QueueAnswer(Answer::Ok);  // the loop is in manual
    Button(panel, "upperTrim")->click();
    ASSERT_TRUE(WaitFor([&] { return panel->Procedure().TrimMode() == 1 && WindowIdle(); }));
    EXPECT_EQ(FixedCurrent(), 20.0f);

    prompts_.QueueAnswers({Answer::Yes, Answer::Yes});
    window_->close();
    EXPECT_FALSE(window_->isVisible());
    EXPECT_FALSE(window_->Worker().Running());
    ASSERT_EQ(prompts_.Messages().size(), 3u);
    EXPECT_EQ(prompts_.Messages()[1].key, "Apllication_Close");
    EXPECT_EQ(prompts_.Messages()[2].key, "Confr_Leave_Fixed_Current");
    EXPECT_EQ(DescribeArgs(prompts_.Messages()[2].args), DescribeArgs({std::string("20.000")}));
    EXPECT_EQ(FixedCurrent(), 0.0f);
}

// Fixing the loop is never silent: the first fixed level of a connection is
// announced (and can be declined), each trim the device takes is confirmed,
// and closing the panel with the loop fixed says it stays fixed.
TEST_F(CalibrationPanelsTest, FixedCurrentIsAnnouncedOncePerConnectionAndConfirmed) {
    StartConnected();
    auto* analog = Open<CAnalogOP>(CFunctionKeys::kAnalogOutput);
    ASSERT_TRUE(analog);

    // Declined: nothing goes to the device.
    prompts_.QueueNumber(Typed("12.5"));
    prompts_.QueueAnswer(Answer::Cancel);
    Button(analog, "specified")->click();
    ASSERT_EQ(prompts_.Messages().size(), 1u);
    EXPECT_EQ(prompts_.Messages()[0].key, "Confr_Fixed_Current_Manual");
    EXPECT_EQ(DescribeArgs(prompts_.Messages()[0].args), DescribeArgs({std::string("12.5")}));
    EXPECT_EQ(prompts_.Messages()[0].type, BoxType::OkCancelWarning);
    EXPECT_TRUE(LetPollsPass());
    EXPECT_EQ(FixedCurrent(), 0.0f);
    EXPECT_TRUE(WindowIdle());

    // Taken once; the next level of the same connection is not asked about.
    prompts_.QueueNumber(Typed("12.5"));
    prompts_.QueueAnswer(Answer::Ok);
    Button(analog, "specified")->click();
    ASSERT_TRUE(WaitFor([&] { return FixedCurrent() == 12.5f && WindowIdle(); }));
    prompts_.QueueNumber(Typed("8"));
    Button(analog, "specified")->click();
    ASSERT_TRUE(WaitFor([&] { return FixedCurrent() == 8.0f && WindowIdle(); }));
    EXPECT_EQ(prompts_.Messages().size(), 2u);

    // Released, the panel closes without a word.
    Button(analog, "exitFixed")->click();
    ASSERT_TRUE(WaitFor([&] { return FixedCurrent() == 0.0f && WindowIdle(); }));
    ASSERT_TRUE(LetPollsPass());
    analog->findChild<QPushButton*>("close")->click();
    EXPECT_EQ(prompts_.Messages().size(), 2u);

    // A new connection announces again; the trim confirms what the device took.
    window_->OpenPanel(CFunctionKeys::kConnect);
    Button(window_->ConnectPanel(), "disconnect")->click();
    Connect();
    auto* trim = Open<CTrimDAC>(CFunctionKeys::kTrimDac);
    prompts_.QueueAnswer(Answer::Ok);
    Button(trim, "lowerTrim")->click();
    ASSERT_TRUE(WaitFor([&] { return trim->Procedure().TrimMode() == 0 && WindowIdle(); }));
    ASSERT_EQ(prompts_.Messages().size(), 3u);
    EXPECT_EQ(prompts_.Messages()[2].key, "Confr_Fixed_Current_Manual");
    EXPECT_EQ(DescribeArgs(prompts_.Messages()[2].args), DescribeArgs({std::string("4.000")}));
    prompts_.QueueNumber(Typed("4.1"));
    prompts_.QueueAnswer(Answer::Ok);
    Button(trim, "trim")->click();
    ASSERT_TRUE(WaitFor([&] { return prompts_.Messages().size() == 4u && WindowIdle(); }));
    EXPECT_EQ(prompts_.Messages()[3].key, "Info_Trim_Accepted");
    EXPECT_EQ(DescribeArgs(prompts_.Messages()[3].args),
              DescribeArgs({std::string("4.1"), std::string("4")}));
    EXPECT_EQ(prompts_.Messages()[3].type, BoxType::OkInformation);
    EXPECT_LT(std::fabs(SimulatedState().dacZeroTrim + 0.1f), 1e-4f);

    // A trim the device refuses is not confirmed.
    server_->WithDevice([](sim::SimDevice& d) { d.Faults().responseCodeFor[45] = 3; });
    prompts_.QueueNumber(Typed("4.2"));
    Button(trim, "trim")->click();
    ASSERT_TRUE(LetPollsPass());
    ASSERT_TRUE(WaitFor([&] { return WindowIdle(); }));
    EXPECT_EQ(prompts_.Messages().size(), 4u);
    server_->WithDevice([](sim::SimDevice& d) { d.Faults() = sim::SimFaults{}; });
}

}  // namespace
}  // namespace qt40
