// The sensor information panel against the simulator: every change reaches
// the device as asked, is shown as read back, and Cancel sends nothing.

#include <QLabel>
#include <QPushButton>

#include "tests/app/AppFixture.h"
#include "monitor/CDisplayArea.h"
#include "panels/CSensorInfo.h"

namespace qt40 {
namespace {

class SensorInfoTest : public AppFixture {
protected:
    void StartConnected(sim::SimDevice device = sim::SimDevice{}) {
        Start(std::move(device));
        Connect();
        panel_ = window_->SensorInfoPanel();
        ASSERT_TRUE(panel_->isVisible());
    }

    QString Shown(const char* name) { return panel_->findChild<QLabel*>(name)->text(); }
    void Press(const char* button) { panel_->findChild<QPushButton*>(button)->click(); }

    // Waits until the device holds what the test expects.
    bool DeviceSays(const std::function<bool(const sim::SimState&)>& check) {
        return WaitFor([&] {
            return server_->WithDevice([&](sim::SimDevice& d) { return check(d.State()); });
        });
    }
    // Every request finished: the window takes clicks again.
    bool Idle() { return WaitFor([&] { return window_->isEnabled(); }); }

    sim::SimState Device() {
        return server_->WithDevice([](sim::SimDevice& d) { return d.State(); });
    }

    static SelectionResult Pick(const Selection& offered, const std::string& name) {
        const auto it = std::find(offered.names.begin(), offered.names.end(), name);
        EXPECT_NE(it, offered.names.end()) << name;
        const auto position = static_cast<std::size_t>(it - offered.names.begin());
        return {static_cast<int>(position),
                static_cast<std::int16_t>(std::stoi(offered.codes[position]))};
    }

    CSensorInfo* panel_ = nullptr;
};

SelectionResult Code(int position, int code) {
    return {position, static_cast<std::int16_t>(code)};
}

TEST_F(SensorInfoTest, ButtonsFollowTheConnection) {
    Start();
    panel_ = window_->SensorInfoPanel();
    EXPECT_FALSE(panel_->findChild<QPushButton*>("sensorTypeButton")->isEnabled());
    Connect();
    EXPECT_TRUE(panel_->findChild<QPushButton*>("sensorTypeButton")->isEnabled());
    EXPECT_EQ(Shown("sensorType"), "Pt100");
    EXPECT_EQ(Shown("upperLimit"), "850.000");
    EXPECT_EQ(Shown("minimumSpan"), "10.00");
}

TEST_F(SensorInfoTest, ChoosingATypeKAsksTheMeasurementTypeAndSendsTwoWires) {
    StartConnected();
    prompts_.QueueSelection(Code(1, 137));  // Type K
    prompts_.QueueSelection(Code(1, 1));    // Different
    Press("sensorTypeButton");
    ASSERT_TRUE(DeviceSays([](const sim::SimState& s) { return s.sensorType == 137; }));
    ASSERT_TRUE(Idle());
    ASSERT_EQ(prompts_.Selections().size(), 2u);
    EXPECT_EQ(prompts_.Selections()[0].titleKey, "Select_Sensor_Type");
    EXPECT_EQ(prompts_.Selections()[0].preselectCode, std::optional<int>(12));
    EXPECT_EQ(prompts_.Selections()[1].titleKey, "Select_Measurement_Type");
    EXPECT_EQ(Device().measurementType, 1);
    EXPECT_EQ(Device().sensorWires, 2);
    ASSERT_TRUE(WaitFor([&] { return Shown("sensorType") == "Type K"; }));
    EXPECT_EQ(Shown("measurementType"), "Different");
    EXPECT_EQ(Shown("upperLimit"), "1372.000");
}

TEST_F(SensorInfoTest, ChoosingPt1000AsksTheWiresAndSendsSingle) {
    StartConnected();
    prompts_.QueueSelection(Code(18, 17));  // Pt1000
    prompts_.QueueSelection(Code(2, 4));    // 4 Wires
    Press("sensorTypeButton");
    ASSERT_TRUE(DeviceSays([](const sim::SimState& s) { return s.sensorType == 17; }));
    ASSERT_TRUE(Idle());
    EXPECT_EQ(prompts_.Selections()[1].titleKey, "Select_Wire_Type");
    EXPECT_EQ(Device().sensorWires, 4);
    EXPECT_EQ(Device().measurementType, 0);
    ASSERT_TRUE(WaitFor([&] { return Shown("wires") == "4 Wires"; }));
}

TEST_F(SensorInfoTest, CancelAtEitherStepSendsNothing) {
    StartConnected();
    prompts_.QueueSelection(std::nullopt);
    Press("sensorTypeButton");
    prompts_.QueueSelection(Code(1, 137));
    prompts_.QueueSelection(std::nullopt);
    Press("sensorTypeButton");
    for (const char* button : {"pvUnitButton", "burnoutButton", "transferButton", "cjcModeButton"}) {
        prompts_.QueueSelection(std::nullopt);
        Press(button);
    }
    prompts_.QueueNumber(std::nullopt);
    Press("dampingButton");
    prompts_.QueueNumber(NumberResult{"100", "100.000", 100.0});
    prompts_.QueueNumber(std::nullopt);
    Press("pvRangeButton");
    EXPECT_TRUE(window_->isEnabled());
    const sim::SimState s = Device();
    EXPECT_EQ(s.sensorType, 12);
    EXPECT_EQ(s.damping, 2.0f);
    EXPECT_FALSE(s.configChanged);
    EXPECT_EQ(s.burnoutDetection, 1);
    EXPECT_EQ(s.cjcMode, 1);
    EXPECT_EQ(s.upperRange, 100.0f);
}

TEST_F(SensorInfoTest, ACustomTcTypeWithoutATableIsRefused) {
    StartConnected();
    prompts_.QueueSelection(Code(13, 146));  // Custom TC
    prompts_.QueueSelection(Code(0, 0));     // Single
    prompts_.QueueAnswer(Answer::Ok);
    Press("sensorTypeButton");
    ASSERT_TRUE(WaitFor([&] { return !prompts_.Messages().empty(); }));
    EXPECT_EQ(prompts_.Messages()[0].key, "Err_Table_Not_Defined");
    EXPECT_EQ(DescribeArgs(prompts_.Messages()[0].args), DescribeArgs({std::string("TC")}));
    EXPECT_EQ(prompts_.Messages()[0].type, BoxType::OkWarning);
    EXPECT_EQ(Device().sensorType, 12);
    ASSERT_TRUE(WaitForPolls(2));  // polling goes on
}

TEST_F(SensorInfoTest, ACustomRtdTypeWithItsTableIsWritten) {
    StartConnected();
    prompts_.QueueSelection(Code(21, 93));  // Custom RTD (the simulator has a table)
    prompts_.QueueSelection(Code(1, 3));    // 3 Wires
    Press("sensorTypeButton");
    ASSERT_TRUE(DeviceSays([](const sim::SimState& s) { return s.sensorType == 93; }));
    EXPECT_TRUE(prompts_.Messages().empty());
}

TEST_F(SensorInfoTest, TheMillivoltSensorOffersOnlyMillivolts) {
    sim::SimDevice device;
    device.State().sensorType = 129;
    device.State().pvUnit = 36;
    StartConnected(std::move(device));
    prompts_.QueueSelection(std::nullopt);
    Press("pvUnitButton");
    ASSERT_EQ(prompts_.Selections().size(), 1u);
    EXPECT_EQ(prompts_.Selections()[0].names, std::vector<std::string>{"mV"});
}

TEST_F(SensorInfoTest, ChangingThePvUnitConvertsAndShows) {
    StartConnected();
    prompts_.QueueSelection(Code(1, 33));  // degF
    Press("pvUnitButton");
    ASSERT_TRUE(DeviceSays([](const sim::SimState& s) { return s.pvUnit == 33; }));
    ASSERT_TRUE(WaitFor([&] { return Shown("pvUnit") == "degF"; }));
    EXPECT_EQ(prompts_.Selections()[0].names.size(), 4u);
    EXPECT_EQ(Shown("upperRange"), "212.000");
    EXPECT_EQ(window_->Monitor()->UnitText(0), "degF");
}

TEST_F(SensorInfoTest, APvRangeNarrowerThanTheMinimumSpanIsRefused) {
    sim::SimDevice device;
    device.State().minimumSpan = 50.0f;
    StartConnected(std::move(device));
    prompts_.QueueNumber(NumberResult{"40", "40.000", 40.0});
    prompts_.QueueNumber(NumberResult{"0", "0.000", 0.0});
    prompts_.QueueAnswer(Answer::Ok);
    Press("pvRangeButton");
    ASSERT_EQ(prompts_.Messages().size(), 1u);
    EXPECT_EQ(prompts_.Messages()[0].key, "Err_Span");
    EXPECT_EQ(DescribeArgs(prompts_.Messages()[0].args),
              DescribeArgs({std::string("50.00"), std::string("degC")}));
    EXPECT_EQ(Device().upperRange, 100.0f);

    const NumberEntry& upper = prompts_.NumberEntries()[0];
    EXPECT_EQ(upper.titleKey, "Set_Upper_Range_Title");
    EXPECT_EQ(upper.promptKey, "Set_Upper_Range");
    EXPECT_EQ(DescribeArgs(upper.promptArgs),
              DescribeArgs({std::string("-200.000"), std::string("850.000"), std::string("degC")}));
    EXPECT_EQ(upper.maximum, 850.0);
    EXPECT_EQ(upper.minimum, -200.0);
    EXPECT_FALSE(upper.zeroAllowed);
    EXPECT_EQ(upper.initialText, "100.000");

    // 0 to 50 is wide enough.
    prompts_.QueueNumber(NumberResult{"50", "50.000", 50.0});
    prompts_.QueueNumber(NumberResult{"0", "0.000", 0.0});
    Press("pvRangeButton");
    ASSERT_TRUE(DeviceSays([](const sim::SimState& s) { return s.upperRange == 50.0f; }));
    ASSERT_TRUE(Idle());
    // An end on the sensor limit goes 0.0001 inside; at the minimum span the
    // other end moves with it.
    prompts_.QueueNumber(NumberResult{"850", "850.000", 850.0});
    prompts_.QueueNumber(NumberResult{"800", "800.000", 800.0});
    Press("pvRangeButton");
    ASSERT_TRUE(DeviceSays([](const sim::SimState& s) { return s.upperRange > 849.0f; }));
    EXPECT_FLOAT_EQ(Device().upperRange, 849.9999f);
    EXPECT_FLOAT_EQ(Device().lowerRange, 799.9999f);
    ASSERT_TRUE(WaitFor([&] { return Shown("upperRange") == "850.000"; }));
}

TEST_F(SensorInfoTest, ADifferenceMeasurementReachesMinusTheUpperLimit) {
    sim::SimDevice device;
    device.State().sensorType = 137;
    device.State().measurementType = 1;
    device.State().upperSensorLimit = 1372.0f;
    device.State().lowerSensorLimit = -180.0f;
    StartConnected(std::move(device));
    prompts_.QueueNumber(std::nullopt);
    Press("pvRangeButton");
    const NumberEntry& upper = prompts_.NumberEntries()[0];
    EXPECT_EQ(upper.minimum, -1372.0);
    EXPECT_EQ(upper.maximum, 1372.0);
    EXPECT_EQ(std::get<std::string>(upper.promptArgs[0]), "-1372.000");
}

TEST_F(SensorInfoTest, DampingZeroIsAcceptedAndSent) {
    StartConnected();
    prompts_.QueueNumber(NumberResult{"0", "0.000", 0.0});
    Press("dampingButton");
    ASSERT_TRUE(DeviceSays([](const sim::SimState& s) { return s.damping == 0.0f; }));
    const NumberEntry& entry = prompts_.NumberEntries()[0];
    EXPECT_EQ(entry.minimum, 0.5);
    EXPECT_EQ(entry.maximum, 30.0);
    EXPECT_TRUE(entry.zeroAllowed);
    ASSERT_TRUE(WaitFor([&] { return Shown("damping") == "0.000"; }));
}

TEST_F(SensorInfoTest, BurnoutAndTransferFunction) {
    StartConnected();
    prompts_.QueueSelection(Code(0, 0));  // OFF
    Press("burnoutButton");
    ASSERT_TRUE(DeviceSays([](const sim::SimState& s) { return s.burnoutDetection == 0; }));
    ASSERT_TRUE(Idle());
    prompts_.QueueSelection(Code(2, 4));  // SPECIAL_CURVE (the simulator has a curve)
    Press("transferButton");
    ASSERT_TRUE(DeviceSays([](const sim::SimState& s) { return s.transferFunction == 4; }));
    ASSERT_TRUE(WaitFor([&] { return Shown("transfer") == "SPECIAL_CURVE"; }));
    EXPECT_EQ(Shown("burnout"), "OFF");
}

TEST_F(SensorInfoTest, ConstantCjcWritesTheValueThenTheMode) {
    sim::SimDevice device;
    device.State().termTempUnit = 35;  // Kelvin
    device.State().constantCjcValue = 300.0f;
    StartConnected(std::move(device));
    prompts_.QueueSelection(Code(3, 3));  // Constant CJC
    prompts_.QueueNumber(NumberResult{"310.5", "310.500", 310.5});
    Press("cjcModeButton");
    ASSERT_TRUE(DeviceSays([](const sim::SimState& s) { return s.cjcMode == 3; }));
    EXPECT_EQ(Device().constantCjcValue, 310.5f);
    const NumberEntry& entry = prompts_.NumberEntries()[0];
    EXPECT_EQ(entry.minimum, 123.15);
    EXPECT_EQ(entry.maximum, 473.15);
    EXPECT_TRUE(entry.zeroAllowed);
    EXPECT_EQ(DescribeArgs(entry.promptArgs),
              DescribeArgs({std::string("123.15"), std::string("473.15"), std::string("Kelvin")}));
    EXPECT_EQ(prompts_.Selections()[0].preselectName, std::optional<std::string>("Internal CJC"));
    ASSERT_TRUE(WaitFor([&] { return Shown("cjcMode") == "Constant CJC"; }));
}

TEST_F(SensorInfoTest, ACancelledConstantValueWritesOnlyTheMode) {
    StartConnected();
    // An earlier action left a value staged; it must not be sent now.
    window_->Worker().WithSession([](DeviceState& s) {
        s.writes.termTempUnit = 33;
        s.writes.constantCjcText = "99";
    });
    prompts_.QueueSelection(Code(3, 3));
    prompts_.QueueNumber(std::nullopt);
    Press("cjcModeButton");
    ASSERT_TRUE(DeviceSays([](const sim::SimState& s) { return s.cjcMode == 3; }));
    EXPECT_EQ(Device().constantCjcValue, 25.0f);
    EXPECT_EQ(Device().termTempUnit, 32);
}

TEST_F(SensorInfoTest, AFailedWriteLeavesTheOldValuesAndTheDeviceUnchanged) {
    StartConnected();
    server_->WithDevice([](sim::SimDevice& d) {
        d.Faults().onlyCommand = 34;
        d.Faults().dropAnswer.remaining = -1;
    });
    prompts_.QueueNumber(NumberResult{"5", "5.000", 5.0});
    prompts_.QueueAnswer(Answer::Cancel);  // the second failure asks
    Press("dampingButton");
    ASSERT_TRUE(WaitFor([&] { return !window_->Connection().Connected(); }));
    ASSERT_TRUE(WaitFor([&] {
        return !panel_->findChild<QPushButton*>("dampingButton")->isEnabled();
    }));
    EXPECT_EQ(prompts_.Messages().back().key, "Err_COM");
    EXPECT_EQ(Shown("damping"), "2.000");
    EXPECT_EQ(Device().damping, 2.0f);
    EXPECT_TRUE(window_->isEnabled());
}

}  // namespace
}  // namespace qt40
