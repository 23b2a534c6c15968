// The three custom table panels against the simulated QT40: what a read
// shows, what a write puts on the wire and leaves in the device, and which
// writes are refused before anything is sent. The device's storing time is
// waited on a virtual clock.

#include <fstream>

#include "tests/panels/PanelFixture.h"
#include "monitor/CCustomGraph.h"
#include "panels/CCustomRTD.h"
#include "panels/CCustomTC.h"
#include "panels/CSpecialCurve.h"

namespace qt40 {
namespace {

struct Heard {
    int command = 0;
    int index = -1;
    bool operator==(const Heard&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Heard& h) {
    return out << "{" << h.command << ", " << h.index << "}";
}

class TablePanelsTest : public PanelFixture {
protected:
    CTablePanel* Open(int button) {
        window_->OpenPanel(button);
        auto* panel = dynamic_cast<CTablePanel*>(window_->PanelFor(button));
        EXPECT_TRUE(panel && panel->isVisible());
        if (panel) panel->SetWaitClock(waitClock_);
        return panel;
    }

    void Record() {
        server_->WithDevice([](sim::SimDevice& d) { d.RecordRequests(true); });
    }

    // Table and coefficient requests the device took since Record().
    std::vector<Heard> TableRequests() {
        return server_->WithDevice([](sim::SimDevice& d) {
            std::vector<Heard> heard;
            for (const sim::SimRequest& r : d.Heard()) {
                const int c = r.command;
                if (c != 144 && (c < 186 || c > 197)) continue;
                const bool point =
                    c == 188 || c == 189 || c == 192 || c == 193 || c == 196 || c == 197;
                heard.push_back({c, point ? (r.data.at(0) << 8) | r.data.at(1) : -1});
            }
            return heard;
        });
    }

    // The window takes clicks again and nothing of the panel is running.
    bool Settled(CTablePanel* panel) {
        return WaitFor([&] {
            return window_->isEnabled() && !window_->Connection().ProgressShown() &&
                   Button(panel, "read")->isEnabled() && Button(panel, "write")->isEnabled();
        });
    }

    std::string WriteFile(const std::string& name, const std::string& text) {
        const std::string path = dir_.filePath(QString::fromStdString(name)).toStdString();
        std::ofstream(path) << text;
        return path;
    }

    void ReadFile(CTablePanel* panel, const std::string& path) {
        prompts_.QueueFileName(path);
        Button(panel, "readFile")->click();
    }

    VirtualClock waitClock_;
};

TEST_F(TablePanelsTest, ReadShowsTheDevicesTable) {
    StartConnected();
    CTablePanel* rtd = Open(CFunctionKeys::kCustomRtd);
    ASSERT_TRUE(rtd);
    EXPECT_EQ(Text(rtd, "size"), "");
    EXPECT_FALSE(Button(rtd, "graph")->isEnabled());
    Button(rtd, "read")->click();
    ASSERT_TRUE(WaitFor([&] { return Text(rtd, "size") == "10"; }));
    ASSERT_TRUE(Settled(rtd));
    EXPECT_EQ(Text(rtd, "status"), "Configured");
    EXPECT_EQ(Text(rtd, "minimum"), "0");
    EXPECT_EQ(Text(rtd, "maximum"), "450");
    EXPECT_EQ(Text(rtd, "step"), "50");
    EXPECT_TRUE(rtd->TableValid());
    EXPECT_TRUE(Button(rtd, "graph")->isEnabled());
    Device([&](sim::SimState& s) {
        for (int i = 0; i < 10; ++i) {
            EXPECT_NEAR(std::stod(rtd->CustomEdit().valueTexts[i]), s.customRtd.values[i], 1e-4);
        }
    });
    Button(rtd, "close")->click();

    CTablePanel* curve = Open(CFunctionKeys::kSpecialCurve);
    Button(curve, "read")->click();
    ASSERT_TRUE(WaitFor([&] { return Text(curve, "size") == "5"; }));
    EXPECT_EQ(Text(curve, "minimum"), "0.00");
    EXPECT_EQ(Text(curve, "maximum"), "100.00");
    EXPECT_EQ(curve->CurveEdit().xTexts[1], "25.0000000");
    ASSERT_TRUE(Settled(curve));
}

TEST_F(TablePanelsTest, WriteOfATwoPointFilePutsHeaderPointsMarkerThenReadsTheHeader) {
    StartConnected();
    Record();
    CTablePanel* tc = Open(CFunctionKeys::kCustomTc);
    ASSERT_TRUE(tc);
    ReadFile(tc,
             WriteFile("tc.txt", "Minimum TC Temperature = -40\nStep = 20\n{\n-1.25\n3.5\n}\n"));
    ASSERT_TRUE(tc->TableValid());
    EXPECT_EQ(Text(tc, "size"), "2");
    EXPECT_EQ(Text(tc, "maximum"), "-20");

    prompts_.QueueAnswer(Answer::Yes);
    const std::int64_t before = waitClock_.NowMs();
    Button(tc, "write")->click();
    ASSERT_TRUE(WaitFor([&] { return TableRequests().size() == 5; }));
    ASSERT_TRUE(Settled(tc));
    EXPECT_EQ(
        TableRequests(),
        (std::vector<Heard>{{191, -1}, {193, 0}, {193, 1}, {193, kEndOfTableIndex}, {190, -1}}));
    EXPECT_EQ(waitClock_.NowMs() - before, 8000);
    Device([](sim::SimState& s) {
        EXPECT_EQ(s.customTc.status, 0);
        EXPECT_EQ(s.customTc.size, 2);
        EXPECT_EQ(s.customTc.minimum, -40);
        EXPECT_EQ(s.customTc.step, 20);
        EXPECT_FLOAT_EQ(s.customTc.values[0], -1.25f);
        EXPECT_FLOAT_EQ(s.customTc.values[1], 3.5f);
    });
    // The header read back is what the panel shows now.
    EXPECT_EQ(Text(tc, "status"), "Configured");
    EXPECT_EQ(Text(tc, "minimum"), "-40");
    EXPECT_EQ(prompts_.Messages().back().key, "Confr_Download_CustomTC");
}

TEST_F(TablePanelsTest, WithCustomTcConfiguredOnlyTheRtdTableIsWritten) {
    sim::SimDevice device;
    device.State().customTc.status = 0;  // the device lets "Custom TC" be chosen only then
    device.State().customTc.size = 2;
    device.State().customTc.step = 10;
    device.State().sensorType = 146;
    StartConnected(std::move(device));
    Record();
    const std::string file = "Minimum = 0\nStep = 10\n{\n100\n110\n}\n";

    CTablePanel* tc = Open(CFunctionKeys::kCustomTc);
    ReadFile(tc, WriteFile("a.txt", file));
    prompts_.QueueAnswer(Answer::Ok);
    Button(tc, "write")->click();
    EXPECT_EQ(prompts_.Messages().back().key, "Sensor_Type_Error_TC");
    EXPECT_TRUE(Button(tc, "write")->isEnabled());
    Button(tc, "close")->click();

    CTablePanel* rtd = Open(CFunctionKeys::kCustomRtd);
    ReadFile(rtd, WriteFile("b.txt", file));
    prompts_.QueueAnswer(Answer::Yes);
    Button(rtd, "write")->click();
    ASSERT_TRUE(WaitFor([&] { return TableRequests().size() == 5; }));
    ASSERT_TRUE(Settled(rtd));
    EXPECT_EQ(TableRequests().front(), (Heard{195, -1}));
    Device([](sim::SimState& s) {
        EXPECT_FLOAT_EQ(s.customRtd.values[1], 110.0f);
        EXPECT_EQ(s.customTc.size, 2);
    });
}

TEST_F(TablePanelsTest, DeclinedOrInvalidWritesSendNothingAndOnlyReenableTheButton) {
    StartConnected();
    Record();
    CTablePanel* curve = Open(CFunctionKeys::kSpecialCurve);
    // Nothing read since the panel was shown: the question, then nothing.
    prompts_.QueueAnswer(Answer::Yes);
    Button(curve, "write")->click();
    EXPECT_EQ(prompts_.Messages().back().key, "Confr_Download_Linearization");
    EXPECT_TRUE(Button(curve, "write")->isEnabled());
    EXPECT_FALSE(curve->TableValid());

    // A table, but No.
    ReadFile(curve, WriteFile("c.txt", "{\n0,0\n50,60\n100,100\n}\n"));
    ASSERT_TRUE(curve->TableValid());
    EXPECT_EQ(Text(curve, "maximum"), "100");
    prompts_.QueueAnswer(Answer::No);
    Button(curve, "write")->click();
    EXPECT_TRUE(Button(curve, "write")->isEnabled());
    EXPECT_TRUE(window_->isEnabled());

    ASSERT_TRUE(LetPollsPass());
    EXPECT_TRUE(TableRequests().empty());
    Device([](sim::SimState& s) { EXPECT_EQ(s.specialCurve.size, 5); });
}

TEST_F(TablePanelsTest, CancelAtAnyCalibratedRtdEntrySendsNothing) {
    StartConnected();
    Record();
    CTablePanel* rtd = Open(CFunctionKeys::kCustomRtd);
    QPushButton* calibrated = Button(rtd, "calibratedRtd");
    ASSERT_TRUE(calibrated && calibrated->isEnabled());
    const char* typed[] = {"3.9", "-5.8", "-4.2", "101", "-100", "600"};
    for (int cancelled = 0; cancelled < 6; ++cancelled) {
        SCOPED_TRACE(cancelled);
        for (int i = 0; i < cancelled; ++i) prompts_.QueueNumber(Typed(typed[i]));
        prompts_.QueueNumber(std::nullopt);
        calibrated->click();
        EXPECT_EQ(prompts_.PendingAnswers(), 0u);
        EXPECT_TRUE(calibrated->isEnabled());
    }
    EXPECT_EQ(prompts_.NumberEntries().size(), 21u);
    ASSERT_TRUE(LetPollsPass());
    EXPECT_TRUE(TableRequests().empty());
    Device([](sim::SimState& s) {
        EXPECT_FLOAT_EQ(s.rtdR0, 100.0f);
        EXPECT_EQ(s.rtdUpperLimit, 850);
    });

    // All six given: the write goes out, and after the storing time the
    // RTD header is read back and the button comes back.
    for (const char* text : typed) prompts_.QueueNumber(Typed(text));
    calibrated->click();
    ASSERT_TRUE(WaitFor([&] { return TableRequests().size() == 2; }));
    ASSERT_TRUE(WaitFor([&] { return calibrated->isEnabled() && window_->isEnabled(); }));
    EXPECT_EQ(TableRequests(), (std::vector<Heard>{{144, -1}, {194, -1}}));
    Device([](sim::SimState& s) {
        EXPECT_FLOAT_EQ(s.rtdA, 3.9e-3f);
        EXPECT_FLOAT_EQ(s.rtdR0, 101.0f);
        EXPECT_EQ(s.rtdLowerLimit, -100);
    });
    EXPECT_EQ(Text(rtd, "size"), "10");
}

// The custom TC and RTD tables share one image in the record. A header read
// alone (after "Write Calibrated RTD") keeps the header but must not hand
// the RTD panel the TC table's millivolts to show, graph, save or write.
TEST_F(TablePanelsTest, AHeaderReadAloneTakesOnlyThisTablesValues) {
    sim::SimDevice device;
    device.State().customTc.status = 0;
    device.State().customTc.size = 3;
    device.State().customTc.step = 10;
    device.State().customTc.values[0] = 1.5f;
    device.State().customTc.values[1] = 2.5f;
    device.State().customTc.values[2] = 3.5f;
    StartConnected(std::move(device));
    CTablePanel* tc = Open(CFunctionKeys::kCustomTc);
    Button(tc, "read")->click();
    ASSERT_TRUE(WaitFor([&] { return tc->TableValid(); }));
    ASSERT_TRUE(Settled(tc));
    Button(tc, "close")->click();

    CTablePanel* rtd = Open(CFunctionKeys::kCustomRtd);
    const auto writeCoefficients = [&] {
        for (const char* text : {"3.9", "-5.8", "-4.2", "101", "-100", "600"}) {
            prompts_.QueueNumber(Typed(text));
        }
        Button(rtd, "calibratedRtd")->click();
        return WaitFor([&] {
            return Button(rtd, "calibratedRtd")->isEnabled() && window_->isEnabled();
        });
    };
    ASSERT_TRUE(writeCoefficients());
    EXPECT_EQ(Text(rtd, "size"), "10");  // the RTD header is shown
    EXPECT_FALSE(rtd->TableValid());
    EXPECT_FALSE(Button(rtd, "graph")->isEnabled());
    Button(rtd, "writeFile")->click();
    EXPECT_TRUE(prompts_.FileRequests().empty());

    // Its own points read, a header read alone keeps them.
    Button(rtd, "read")->click();
    ASSERT_TRUE(WaitFor([&] { return rtd->TableValid(); }));
    ASSERT_TRUE(Settled(rtd));
    const CustomTableEdit read = rtd->CustomEdit();
    ASSERT_TRUE(writeCoefficients());
    EXPECT_TRUE(rtd->TableValid());
    EXPECT_EQ(rtd->CustomEdit().valueTexts, read.valueTexts);
}

// Closing a table panel while its graph is open hides the graph too; the
// graph button works again the next time the panel has a table.
TEST_F(TablePanelsTest, TheGraphButtonComesBackAfterThePanelClosedOverItsGraph) {
    StartConnected();
    CTablePanel* curve = Open(CFunctionKeys::kSpecialCurve);
    const std::string file = WriteFile("c.txt", "{\n0,0\n50,60\n100,100\n}\n");
    ReadFile(curve, file);
    ASSERT_TRUE(Button(curve, "graph")->isEnabled());
    Button(curve, "graph")->click();
    ASSERT_TRUE(window_->TableGraph()->isVisible());
    EXPECT_FALSE(Button(curve, "graph")->isEnabled());
    Button(curve, "close")->click();
    EXPECT_FALSE(window_->TableGraph()->isVisible());

    curve = Open(CFunctionKeys::kSpecialCurve);
    ReadFile(curve, file);
    EXPECT_TRUE(Button(curve, "graph")->isEnabled());
    Button(curve, "graph")->click();
    EXPECT_TRUE(window_->TableGraph()->isVisible());
}

TEST_F(TablePanelsTest, FileWrittenFromThePanelHoldsTheTableItShows) {
    StartConnected();
    CTablePanel* tc = Open(CFunctionKeys::kCustomTc);
    // Nothing to write yet: no dialog.
    Button(tc, "writeFile")->click();
    EXPECT_TRUE(prompts_.FileRequests().empty());

    ReadFile(tc, WriteFile("in.txt", "Minimum = -10\nStep = 5\n{\n1\n2\n4\n}\n"));
    const std::string out = dir_.filePath("out.txt").toStdString();
    prompts_.QueueFileName(out);
    Button(tc, "writeFile")->click();
    std::ifstream in(out, std::ios::binary);  // the line ends as written
    std::string all((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(all.find("Minimum TC Temperature = -10"), std::string::npos) << all;
    EXPECT_NE(all.find("{\r\n1.000000\r\n2.000000\r\n4.000000\r\n}"), std::string::npos) << all;
}

}  // namespace
}  // namespace qt40
