// The diagnostics panel and the additional status panel against the
// simulated QT40.

#include "tests/panels/PanelFixture.h"
#include "monitor/CDisplayArea.h"
#include "panels/CAddStatus.h"
#include "panels/CDiagnostics.h"
#include "panels/CProgressWindow.h"
#include "widgets/CLblColor.h"

namespace qt40 {
namespace {

const char* const kButtons[] = {"masterReset", "resetConfigFlag", "selfTest",
                                "startStatus", "stopStatus",      "close"};

class DiagnosticsTest : public PanelFixture {
protected:
    CDiagnostics* Open() {
        window_->OpenPanel(CFunctionKeys::kDiagnostics);
        auto* panel = dynamic_cast<CDiagnostics*>(window_->PanelFor(CFunctionKeys::kDiagnostics));
        EXPECT_TRUE(panel && panel->isVisible());
        return panel;
    }
    CAddStatus* Status() { return window_->findChild<CAddStatus*>(); }

    std::vector<std::string> Enabled(CDiagnostics* panel) {
        std::vector<std::string> on;
        for (const char* name : kButtons) {
            if (Button(panel, name)->isEnabled()) on.push_back(name);
        }
        return on;
    }

    void SetStatusBytes(std::array<std::uint8_t, 6> bytes) {
        Device([&](sim::SimState& s) { s.additionalStatus = bytes; });
    }

    // Every indicator's colour as 'R' (set) or 'G' (clear), in control order.
    std::string Colours() {
        std::string colours;
        for (int id = 1870; id <= 1893; ++id) {
            const QColor c = Status()->Indicator(id)->BackColor();
            colours += c == CAddStatus::SetColour()     ? 'R'
                       : c == CAddStatus::ClearColour() ? 'G'
                                                        : '?';
        }
        return colours;
    }
};

TEST_F(DiagnosticsTest, MasterResetReuploadsEverythingBeforeTheButtonsReturn) {
    StartConnected();
    CDiagnostics* panel = Open();
    ASSERT_TRUE(panel);
    EXPECT_EQ(Enabled(panel), (std::vector<std::string>{"masterReset", "resetConfigFlag",
                                                        "selfTest", "startStatus", "close"}));
    // What only a new upload can bring into the record.
    Device([](sim::SimState& s) {
        s.tag = "AFTERRST";
        s.damping = 7.5f;
        s.fixedCurrent = 12.0f;
    });

    prompts_.QueueAnswer(Answer::No);
    Button(panel, "masterReset")->click();
    EXPECT_TRUE(Button(panel, "masterReset")->isEnabled());
    EXPECT_TRUE(Device([](sim::SimState& s) { return s.fixedCurrent == 12.0f; }));

    prompts_.QueueAnswer(Answer::Yes);
    const std::uint64_t before = server_->RequestCount();
    Button(panel, "masterReset")->click();
    EXPECT_TRUE(Enabled(panel).empty());
    ASSERT_TRUE(WaitFor([&] { return Button(panel, "masterReset")->isEnabled(); }));
    // The moment the buttons are back, the whole configuration has been read.
    const DeviceRecord r = window_->Worker().RecordSnapshot();
    EXPECT_EQ(r.tag, "AFTERRST");
    EXPECT_DOUBLE_EQ(r.damping, 7.5);
    EXPECT_GE(server_->RequestCount(), before + 1 + kUploadStepCount);
    EXPECT_EQ(Enabled(panel), (std::vector<std::string>{"masterReset", "resetConfigFlag",
                                                        "selfTest", "startStatus", "close"}));
    EXPECT_FALSE(window_->UploadWindow()->isVisible());
    EXPECT_TRUE(Device([](sim::SimState& s) { return s.fixedCurrent == 0.0f; }));
    EXPECT_TRUE(window_->isEnabled());
    EXPECT_TRUE(window_->Connection().Connected());
}

TEST_F(DiagnosticsTest, SelfTestEndsWithTheStatusPanelAndOnlyStop) {
    StartConnected();
    CDiagnostics* panel = Open();
    ASSERT_TRUE(panel);
    SetStatusBytes({0x01, 0, 0, 0x80, 0x10, 0});
    prompts_.QueueAnswer(Answer::Yes);
    Button(panel, "selfTest")->click();
    ASSERT_TRUE(WaitFor([&] { return Status()->isVisible() && window_->isEnabled(); }));
    EXPECT_EQ(Enabled(panel), (std::vector<std::string>{"stopStatus"}));
    EXPECT_TRUE(panel->isVisible());
    EXPECT_FALSE(window_->Monitor()->isVisible());
    EXPECT_FALSE(window_->Functions()->isVisible());
    EXPECT_EQ(prompts_.Messages().back().key, "Confr_Execute_Diagnostics");
    // Both "ADC Module Failed" rows, the sensor drift alarm.
    EXPECT_EQ(Colours(),
              "RGGGG"
              "GGGGGG"
              "GGGGR"
              "GGGGRGGG");

    Button(panel, "stopStatus")->click();
    EXPECT_FALSE(Status()->isVisible());
    EXPECT_TRUE(window_->Monitor()->isVisible());
    EXPECT_EQ(Enabled(panel), (std::vector<std::string>{"masterReset", "resetConfigFlag",
                                                        "selfTest", "startStatus", "close"}));
    panel->findChild<QPushButton*>("close")->click();
    EXPECT_TRUE(window_->SensorInfoPanel()->isVisible());
    EXPECT_TRUE(window_->Functions()->isVisible());
}

TEST_F(DiagnosticsTest, TheStatusPanelFollowsThePolls) {
    StartConnected();
    CDiagnostics* panel = Open();
    ASSERT_TRUE(panel);
    Button(panel, "startStatus")->click();
    ASSERT_TRUE(WaitFor([&] { return Status()->isVisible() && window_->isEnabled(); }));
    EXPECT_EQ(Colours(), std::string(24, 'G'));

    const struct {
        std::array<std::uint8_t, 6> bytes;
        const char* colours;
    } rows[] = {
        // Byte 0 bit 0 and byte 4 bit 4 carry the same label.
        {{0x01, 0, 0, 0, 0, 0},
         "RGGGG"
         "GGGGGG"
         "GGGGG"
         "GGGGGGGG"},
        {{0, 0, 0, 0, 0x10, 0},
         "GGGGG"
         "GGGGGG"
         "GGGGG"
         "GGGGRGGG"},
        {{0, 0, 0, 0, 0x20, 0},
         "GGGGG"
         "GGGGGG"
         "GGGGG"
         "GGGGGRGG"},
        // Unlabelled bits and the bytes not shown change nothing.
        {{0xE0, 0xFF, 0x30, 0x4C, 0, 0xFF},
         "GGGGG"
         "GGGGGG"
         "GGGGG"
         "GGGGGGGG"},
        {{0, 0, 0xCF, 0xB3, 0, 0},
         "GGGGG"
         "RRRRRR"
         "RRRRR"
         "GGGGGGGG"},
    };
    for (const auto& row : rows) {
        SetStatusBytes(row.bytes);
        EXPECT_TRUE(WaitFor([&] { return Colours() == row.colours; }))
            << row.colours << " got " << Colours();
    }
    Button(panel, "stopStatus")->click();
    EXPECT_FALSE(Status()->isVisible());
}

TEST_F(DiagnosticsTest, ResettingTheConfigurationFlagClearsItInTheDevice) {
    StartConnected();
    CDiagnostics* panel = Open();
    ASSERT_TRUE(panel);
    Device([](sim::SimState& s) { s.configChanged = true; });
    Button(panel, "resetConfigFlag")->click();
    ASSERT_TRUE(WaitFor(
        [&] { return Button(panel, "resetConfigFlag")->isEnabled() && window_->isEnabled(); }));
    EXPECT_FALSE(Device([](sim::SimState& s) { return s.configChanged; }));
}

// A line given up in the middle of a panel's request: the panel makes way
// for the default one, the connection is closed and the window takes clicks.
TEST_F(DiagnosticsTest, AGivenUpLineClosesEachPanel) {
    StartConnected();
    const struct {
        int key;
        const char* button;
        std::uint8_t command;
    } rows[] = {
        {CFunctionKeys::kDiagnostics, "resetConfigFlag", 38},
        {CFunctionKeys::kAnalogOutput, "exitFixed", 40},
        {CFunctionKeys::kTrimDac, "lowerTrim", 40},
        {CFunctionKeys::kSensorCal, "readCalibration", 152},
        {CFunctionKeys::kWireResistance, "calibrateWire", 153},
    };
    for (const auto& row : rows) {
        window_->OpenPanel(row.key);
        CPanel* panel = window_->PanelFor(row.key);
        ASSERT_TRUE(WaitFor([&] { return window_->isEnabled(); })) << row.button;
        // The first fixed level of a connection is announced first.
        if (std::string(row.button) == "lowerTrim") prompts_.QueueAnswer(Answer::Ok);
        // What fixes the loop is not asked about: level 0 is tried until its
        // bound passes, then the technician is told the loop may be fixed.
        const bool level = row.command == 40;
        if (level) {
            server_->WithDevice([](sim::SimDevice& d) {
                d.Faults().onlyCommand = 40;
                d.Faults().dropAnswer.remaining = -1;
            });
            prompts_.QueueAnswer(Answer::Ok);
        } else {
            DropEveryAnswerTo(row.command);
        }
        Button(panel, row.button)->click();
        EXPECT_TRUE(WaitFor([&] {
            return !panel->isVisible() && !window_->Connection().Connected();
        }, level ? 40000 : 10000)) << row.button;
        EXPECT_TRUE(window_->SensorInfoPanel()->isVisible()) << row.button;
        EXPECT_TRUE(WaitFor([&] { return window_->isEnabled(); })) << row.button;
        EXPECT_FALSE(Status()->isVisible()) << row.button;
        EXPECT_FALSE(window_->Worker().Running()) << row.button;
        EXPECT_EQ(prompts_.Messages().back().key, level ? "Rec_Not_Released" : "Err_COM")
            << row.button;

        server_->WithDevice([](sim::SimDevice& d) { d.Faults() = sim::SimFaults{}; });
        Connect();
    }
}

}  // namespace
}  // namespace qt40
