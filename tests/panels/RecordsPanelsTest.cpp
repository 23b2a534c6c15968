// The records in the window, against the simulator on a pseudo-terminal:
// the loop-check dialog filling its table point by point and leaving the
// loop at level 0 however it ends, and the report from the file pages saved
// from its preview.

#include <QApplication>
#include <QLineEdit>
#include <QPrintPreviewWidget>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>

#include "panels/CAnalogOP.h"
#include "panels/CLoopCheckDialog.h"
#include "panels/CRecordPreview.h"
#include "panels/CTrimDAC.h"
#include "records/RecordPdfWriter.h"
#include "tests/files/TempFolder.h"
#include "tests/panels/PanelFixture.h"
#include "tests/records/PdfTools.h"
#include "tests/widgets/ModalDriver.h"

namespace qt40 {
namespace {

using State = LoopCheckProcedure::State;

class RecordsPanelsTest : public PanelFixture {
protected:
    CLoopCheckDialog* OpenLoopCheck(const char* points = "0,50,100") {
        window_->OpenPanel(CFunctionKeys::kAnalogOutput);
        auto* analog = dynamic_cast<CAnalogOP*>(window_->PanelFor(CFunctionKeys::kAnalogOutput));
        Button(analog, "loopCheck")->click();
        CLoopCheckDialog* dialog = analog->LoopCheck();
        dialog->findChild<QLineEdit*>("points")->setText(points);
        return dialog;
    }

    bool WaitState(CLoopCheckDialog* dialog, State state, std::size_t point = 0) {
        return WaitFor([&] {
            return dialog->Check().CurrentState() == state &&
                   (state != State::Measuring || dialog->Check().PointIndex() == point) &&
                   window_->isEnabled();
        });
    }

    void Reading(CLoopCheckDialog* dialog, const char* text) {
        dialog->findChild<QLineEdit*>("measured")->setText(text);
        Button(dialog, "enter")->click();
    }

    QString Cell(CLoopCheckDialog* dialog, int row, int column) {
        QTableWidgetItem* item = dialog->Table()->item(row, column);
        return item ? item->text() : QString("<none>");
    }

    float Level() {
        return Device([](sim::SimState& s) { return s.fixedCurrent; });
    }

    bool WaitIdle(CLoopCheckDialog* dialog) {
        return WaitFor([&] { return !dialog->Check().Running() && window_->isEnabled(); });
    }

    // A whole run, one reading a point.
    void Run(CLoopCheckDialog* dialog, const char* button, std::vector<const char*> readings) {
        Button(dialog, button)->click();
        for (std::size_t i = 0; i < readings.size(); ++i) {
            ASSERT_TRUE(WaitState(dialog, State::Measuring, i)) << i;
            Reading(dialog, readings[i]);
        }
        ASSERT_TRUE(WaitIdle(dialog));
    }
};

TEST_F(RecordsPanelsTest, TableFillsAsThePointsGoAndTheLoopIsReleased) {
    StartConnected();
    CLoopCheckDialog* dialog = OpenLoopCheck();
    ASSERT_TRUE(dialog->isVisible());
    Button(dialog, "asFound")->click();
    ASSERT_TRUE(WaitState(dialog, State::Measuring, 0));
    EXPECT_EQ(Level(), 4.0f);
    EXPECT_TRUE(dialog->Status()->text().contains("4.000 mA")) << dialog->Status()->text().toStdString();

    // Not a current: refused with a message, the point asks again.
    prompts_.QueueAnswer(Answer::Ok);
    Reading(dialog, "4,01");
    ASSERT_EQ(prompts_.Messages().size(), 1u);
    EXPECT_EQ(prompts_.Messages().back().key, "Err_Calibration_Value_Invalid");
    EXPECT_EQ(dialog->Check().CurrentState(), State::Measuring);
    EXPECT_EQ(Cell(dialog, 0, 3), "");

    Reading(dialog, "4.01");
    ASSERT_TRUE(WaitState(dialog, State::Measuring, 1));
    EXPECT_EQ(Level(), 12.0f);
    EXPECT_EQ(Cell(dialog, 0, 3), "4.010");
    EXPECT_EQ(Cell(dialog, 0, 4), "0.063");
    EXPECT_EQ(Cell(dialog, 0, 5), "PASS");
    EXPECT_EQ(Cell(dialog, 1, 3), "");  // not measured yet: empty, never 0

    Reading(dialog, "12.05");
    ASSERT_TRUE(WaitState(dialog, State::Measuring, 2));
    Reading(dialog, "20");
    ASSERT_TRUE(WaitFor([&] { return !dialog->Check().Running() && window_->isEnabled(); }));
    EXPECT_EQ(Cell(dialog, 1, 4), "0.313");
    EXPECT_EQ(Cell(dialog, 1, 5), "FAIL");
    EXPECT_TRUE(dialog->Check().Released());
    EXPECT_EQ(Level(), 0.0f);
    ASSERT_TRUE(LetPollsPass());
    EXPECT_EQ(Level(), 0.0f);

    // The sheet stays for an as-left run; the window's closing finds the
    // loop released and asks nothing about a fixed current.
    dialog->close();
    EXPECT_TRUE(Button(dialog, "asLeft")->isEnabled());
}

// Stopped, the dialog closed, the device refusing a level, the main window
// closed: each time the device is back at level 0.
TEST_F(RecordsPanelsTest, EveryEndingLeavesTheLoopAtLevelZero) {
    StartConnected();
    const struct {
        const char* how;
        std::function<void(CLoopCheckDialog*)> end;
    } ways[] = {
        {"Stop Check", [&](CLoopCheckDialog* d) { Button(d, "stop")->click(); }},
        {"the dialog's Close", [&](CLoopCheckDialog* d) { Button(d, "close")->click(); }},
        {"the dialog's window closed", [&](CLoopCheckDialog* d) { d->close(); }},
        {"the device refuses the next level",
         [&](CLoopCheckDialog* d) {
             server_->WithDevice([](sim::SimDevice& dev) {
                 dev.Faults().onlyCommand = 40;
                 dev.Faults().refuse.remaining = 1;
             });
             Reading(d, "12");
         }},
    };
    for (const auto& way : ways) {
        CLoopCheckDialog* dialog = OpenLoopCheck();
        // The run before holds a reading: replaced on Yes.
        if (dialog->Check().WouldReplace(LoopRunKind::AsFound)) prompts_.QueueAnswer(Answer::Yes);
        Button(dialog, "asFound")->click();
        ASSERT_TRUE(WaitState(dialog, State::Measuring, 0)) << way.how;
        Reading(dialog, "4");
        ASSERT_TRUE(WaitState(dialog, State::Measuring, 1)) << way.how;
        EXPECT_EQ(Level(), 12.0f) << way.how;
        way.end(dialog);
        ASSERT_TRUE(WaitFor([&] { return !dialog->Check().Running() && window_->isEnabled(); }))
            << way.how;
        EXPECT_TRUE(dialog->Check().Released()) << way.how;
        EXPECT_EQ(Level(), 0.0f) << way.how;
        EXPECT_FALSE(dialog->Sheet().Run(LoopRunKind::AsFound)->Complete()) << way.how;
        server_->WithDevice([](sim::SimDevice& dev) { dev.Faults() = {}; });
        if (dialog->isVisible()) dialog->close();
    }

    CLoopCheckDialog* dialog = OpenLoopCheck();
    prompts_.QueueAnswer(Answer::Yes);
    Button(dialog, "asFound")->click();
    ASSERT_TRUE(WaitState(dialog, State::Measuring, 0));
    EXPECT_EQ(Level(), 4.0f);
    // Only the closing question: the loop is released before the fixed-current one would come.
    prompts_.QueueAnswer(Answer::Yes);
    window_->close();
    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(prompts_.Messages().back().key, "Apllication_Close");
    EXPECT_EQ(Level(), 0.0f);
}

// The next level's exchange and level 0's first one lost: no question, the
// check ends, level 0 goes out again and is answered; the status says both.
TEST_F(RecordsPanelsTest, ALostLevelEndsTheCheckWithTheLoopReleased) {
    StartConnected();
    CLoopCheckDialog* dialog = OpenLoopCheck();
    Button(dialog, "asFound")->click();
    ASSERT_TRUE(WaitState(dialog, State::Measuring, 0));
    server_->WithDevice([](sim::SimDevice& dev) {
        dev.Faults().onlyCommand = 40;
        dev.Faults().dropAnswer.remaining = 8;
    });
    const std::size_t asked = prompts_.Messages().size();
    Reading(dialog, "4");
    ASSERT_TRUE(WaitFor([&] { return !dialog->Check().Running() && window_->isEnabled(); }));
    EXPECT_EQ(prompts_.Messages().size(), asked);
    EXPECT_EQ(dialog->Check().LastEnding(), LoopCheckProcedure::Ending::ConnectionLost);
    EXPECT_TRUE(dialog->Check().Released());
    EXPECT_EQ(dialog->Check().Release0().Tries(), 2);
    EXPECT_EQ(Level(), 0.0f);
    EXPECT_TRUE(window_->Connection().Connected());
    const RecordTexts texts;
    EXPECT_EQ(dialog->Status()->text().toStdString(),
              texts.Text("Rec_Stop_Exchange_Lost") + "\n" + texts.Text("Rec_Released"));
    EXPECT_EQ(dialog->Sheet().Run(LoopRunKind::AsFound)->stop, LoopStop::ExchangeLost);
}

// The first point settles the tolerance: a wider one typed later never turns
// a FAIL already shown into a PASS, in the table or on the sheet.
TEST_F(RecordsPanelsTest, TheToleranceIsSettledByTheFirstPoint) {
    StartConnected();
    CLoopCheckDialog* dialog = OpenLoopCheck("0,100");
    auto* tolerance = dialog->findChild<QLineEdit*>("tolerance");
    tolerance->setText("0.25");
    Button(dialog, "asFound")->click();
    ASSERT_TRUE(WaitState(dialog, State::Measuring, 0));
    EXPECT_TRUE(tolerance->isEnabled() == false);  // no edits while a run goes
    Reading(dialog, "4.05");                       // 0.313 % of span
    ASSERT_TRUE(WaitState(dialog, State::Measuring, 1));
    Button(dialog, "stop")->click();
    ASSERT_TRUE(WaitFor([&] { return !dialog->Check().Running() && window_->isEnabled(); }));
    EXPECT_EQ(Cell(dialog, 0, 5), "FAIL");
    EXPECT_FALSE(tolerance->isEnabled());
    EXPECT_EQ(tolerance->text(), "0.25");

    // Typed anyway (the field is off): the next run and the sheet keep 0.25.
    tolerance->setText("1");
    Button(dialog, "asLeft")->click();
    ASSERT_TRUE(WaitState(dialog, State::Measuring, 0));
    Button(dialog, "stop")->click();
    ASSERT_TRUE(WaitFor([&] { return !dialog->Check().Running() && window_->isEnabled(); }));
    EXPECT_DOUBLE_EQ(dialog->Sheet().Tolerance(), 0.25);
    EXPECT_EQ(Cell(dialog, 0, 5), "FAIL");
    EXPECT_FALSE(*dialog->Sheet().Run(LoopRunKind::AsFound)->points[0].pass);
    EXPECT_EQ(Level(), 0.0f);
}

// A DAC trim made in its panel between the runs lands on the sheet with its reading.
TEST_F(RecordsPanelsTest, TheSheetKeepsATrimMadeBetweenTheRuns) {
    StartConnected();
    CLoopCheckDialog* dialog = OpenLoopCheck("0");
    Button(dialog, "asFound")->click();
    ASSERT_TRUE(WaitState(dialog, State::Measuring, 0));
    Reading(dialog, "4.1");
    ASSERT_TRUE(WaitFor([&] { return !dialog->Check().Running() && window_->isEnabled(); }));
    dialog->close();
    window_->PanelFor(CFunctionKeys::kAnalogOutput)->Show(false);

    window_->OpenPanel(CFunctionKeys::kTrimDac);
    auto* trim = dynamic_cast<CTrimDAC*>(window_->PanelFor(CFunctionKeys::kTrimDac));
    ASSERT_TRUE(trim);
    prompts_.QueueAnswer(Answer::Ok);  // the loop is fixed: to manual
    Button(trim, "lowerTrim")->click();
    ASSERT_TRUE(WaitFor([&] { return trim->Procedure().TrimMode() == 0 && window_->isEnabled(); }));
    prompts_.QueueNumber(Typed("4.1"));
    prompts_.QueueAnswer(Answer::Ok);  // the trim taken
    Button(trim, "trim")->click();
    ASSERT_TRUE(WaitFor([&] { return !dialog->Sheet().trims.empty() && window_->isEnabled(); }));
    EXPECT_FALSE(dialog->Sheet().trims[0].upper);
    EXPECT_EQ(dialog->Sheet().trims[0].measuredText, "4.1");
    trim->findChild<QPushButton*>("close")->click();
    ASSERT_TRUE(WaitFor([&] { return Level() == 0.0f; }));
}

TEST_F(RecordsPanelsTest, ReportFromTheFilePagesIsSavedFromItsPreview) {
#ifndef _WIN32
    ASSERT_TRUE(test::HavePoppler());
#endif
    StartConnected();
    test::TempFolder files;
    window_->OpenPanel(CFunctionKeys::kFile);
    CPanel* page = window_->PanelFor(CFunctionKeys::kFile);
    prompts_.QueueFileName((files / "report.pdf").string());
    prompts_.QueueFileName((files / "report.csv").string());
    prompts_.QueueFileName((files / "gone" / "report.pdf").string());
    prompts_.QueueAnswer(Answer::Ok);
    bool shown = false;
    test::WhenModal<CRecordPreview>([&](CRecordPreview* preview) {
        shown = true;
        EXPECT_TRUE(preview->Save());
        EXPECT_TRUE(preview->Save());
        // A folder that is not there: said so, nothing half-written.
        EXPECT_FALSE(preview->Save());
        EXPECT_EQ(prompts_.Messages().back().key, "Err_Record_Save");
        EXPECT_EQ(files.EntryCount(), 2u);
        preview->accept();
    });
    Button(page, "report")->click();
    ASSERT_TRUE(WaitFor([&] { return shown && window_->isEnabled(); }));
#ifdef _WIN32
    // No poppler here: the Windows run reads the PDFs its programs write on Linux.
    EXPECT_EQ(test::TempFolder::Slurp(files / "report.pdf").rfind("%PDF-", 0), 0u);
#else
    const std::string text = test::PdfText(files / "report.pdf");
    for (const char* words : {"Configuration Report", "TT-101", "REACTOR INLET", "Pt100",
                              "Sensor 1 Zero Point", "Status Bytes"}) {
        EXPECT_NE(text.find(words), std::string::npos) << words << "\nin:\n" << text;
    }
#endif
    const std::string csv = test::TempFolder::Slurp(files / "report.csv");
    EXPECT_NE(csv.find("\r\nPV Upper Range,100.000,degC\r\n"), std::string::npos) << csv;
    ASSERT_EQ(prompts_.FileRequests().size(), 3u);
    EXPECT_EQ(prompts_.FileRequests()[0].request.titleKey, "Save_Report");
    // Offered under the tag and the day it was made.
    EXPECT_EQ(prompts_.FileRequests()[0].request.initialPath.rfind("report-TT-101-20", 0), 0u)
        << prompts_.FileRequests()[0].request.initialPath;
}

// After Disconnect the window still holds the last upload; a report of it
// would carry today's time and the port as if read now. Refused, said why.
TEST_F(RecordsPanelsTest, NoReportWhileNotConnected) {
    StartConnected();
    window_->OpenPanel(CFunctionKeys::kFile);
    CPanel* page = window_->PanelFor(CFunctionKeys::kFile);
    window_->Connection().StopConnection();
    ASSERT_TRUE(WaitFor([&] { return !window_->Connection().Connected() && window_->isEnabled(); }));
    bool shown = false;
    // Closes a preview should one come (the click would wait in it). One
    // shot, bound to the page: it never outlives this test to fail another
    // one run in the same process.
    QTimer::singleShot(0, page, [&] {
        if (auto* preview = qobject_cast<CRecordPreview*>(QApplication::activeModalWidget())) {
            shown = true;
            preview->accept();
        }
    });
    prompts_.QueueAnswer(Answer::Ok);
    Button(page, "report")->click();
    QCoreApplication::processEvents();
    ASSERT_FALSE(prompts_.Messages().empty());
    EXPECT_EQ(prompts_.Messages().back().key, "Err_Report_Not_Connected");
    EXPECT_FALSE(shown);
    EXPECT_TRUE(prompts_.FileRequests().empty());
}

// A run that holds readings is replaced only on Yes; No keeps every reading.
TEST_F(RecordsPanelsTest, StartingARunAgainAsksBeforeReplacingIt) {
    StartConnected();
    CLoopCheckDialog* dialog = OpenLoopCheck("0,100");
    Run(dialog, "asFound", {"4.0", "20.1"});
    EXPECT_EQ(dialog->Verdicts()->text(), "Result As Found: FAIL");
    const std::size_t asked = prompts_.Messages().size();

    prompts_.QueueAnswer(Answer::No);
    Button(dialog, "asFound")->click();
    ASSERT_EQ(prompts_.Messages().size(), asked + 1);
    EXPECT_EQ(prompts_.Messages().back().key, "Confr_Loop_Replace_Run");
    EXPECT_EQ(prompts_.Messages().back().type, BoxType::YesNoQuestion);
    EXPECT_FALSE(dialog->Check().Running());
    EXPECT_EQ(Cell(dialog, 1, 3), "20.100");
    EXPECT_EQ(Level(), 0.0f);

    // As Left has no readings yet: no question.
    Button(dialog, "asLeft")->click();
    ASSERT_TRUE(WaitState(dialog, State::Measuring, 0));
    EXPECT_EQ(prompts_.Messages().size(), asked + 1);
    EXPECT_EQ(dialog->Verdicts()->text(), "Result As Found: FAIL    Result As Left: INCOMPLETE");
    Button(dialog, "stop")->click();
    ASSERT_TRUE(WaitIdle(dialog));

    prompts_.QueueAnswer(Answer::Yes);
    Button(dialog, "asFound")->click();
    ASSERT_TRUE(WaitState(dialog, State::Measuring, 0));
    EXPECT_EQ(prompts_.Messages().back().key, "Confr_Loop_Replace_Run");
    EXPECT_EQ(Cell(dialog, 1, 3), "");  // the new run, not yet read
    Button(dialog, "stop")->click();
    ASSERT_TRUE(WaitIdle(dialog));
    EXPECT_EQ(Level(), 0.0f);
}

// A mistyped reading taken again from its row: the output goes back to that
// point, the new reading replaces it, the verdict follows and the loop is
// released after it, also when the dialog is closed while the point is held.
TEST_F(RecordsPanelsTest, OnePointIsTakenAgainFromItsRow) {
    StartConnected();
    CLoopCheckDialog* dialog = OpenLoopCheck("0,50,100");
    Run(dialog, "asFound", {"4.0", "12.5", "20.0"});
    EXPECT_EQ(dialog->Verdicts()->text(), "Result As Found: FAIL");
    QPushButton* redo = Button(dialog, "redo");
    EXPECT_FALSE(redo->isEnabled());  // no row chosen
    dialog->Table()->selectRow(1);
    ASSERT_TRUE(redo->isEnabled());

    redo->click();
    ASSERT_TRUE(WaitState(dialog, State::Measuring, 1));
    EXPECT_EQ(Level(), 12.0f);
    EXPECT_TRUE(dialog->Check().Redoing());
    EXPECT_FALSE(redo->isEnabled());
    EXPECT_FALSE(Button(dialog, "asFound")->isEnabled());
    Reading(dialog, "12.005");
    ASSERT_TRUE(WaitIdle(dialog));
    EXPECT_EQ(Level(), 0.0f);
    EXPECT_TRUE(dialog->Check().Released());
    EXPECT_EQ(Cell(dialog, 1, 3), "12.005");
    EXPECT_EQ(Cell(dialog, 1, 5), "PASS");
    EXPECT_EQ(Cell(dialog, 2, 3), "20.000");
    EXPECT_EQ(dialog->Verdicts()->text(), "Result As Found: PASS");

    // Closed while the redone point is held: released, the reading kept.
    dialog->Table()->selectRow(2);
    redo->click();
    ASSERT_TRUE(WaitState(dialog, State::Measuring, 2));
    EXPECT_EQ(Level(), 20.0f);
    Button(dialog, "close")->click();
    ASSERT_TRUE(WaitIdle(dialog));
    EXPECT_EQ(Level(), 0.0f);
    EXPECT_EQ(Cell(dialog, 2, 3), "20.000");
    EXPECT_TRUE(dialog->Sheet().Run(LoopRunKind::AsFound)->Complete());
}

// With more points than the table shows, the point being checked is in view.
TEST_F(RecordsPanelsTest, TheCurrentPointStaysInView) {
    StartConnected();
    CLoopCheckDialog* dialog =
        OpenLoopCheck("0,5,10,15,20,25,30,35,40,45,50,55,60,65,70,75,80,85,90,95,100");
    dialog->resize(640, 420);
    Button(dialog, "asFound")->click();
    QTableWidget* table = dialog->Table();
    for (std::size_t i = 0; i < 21; ++i) {
        ASSERT_TRUE(WaitState(dialog, State::Measuring, i)) << i;
        QCoreApplication::processEvents();
        const QRect row = table->visualItemRect(table->item(static_cast<int>(i), 1));
        EXPECT_TRUE(table->viewport()->rect().contains(row)) << "point " << i;
        Reading(dialog, "4");
    }
    ASSERT_TRUE(WaitIdle(dialog));
    EXPECT_GT(table->verticalScrollBar()->maximum(), 0);  // the table did scroll
    EXPECT_EQ(Level(), 0.0f);
}

// Switched to Japanese while the dialog is closed (the sheet kept) and while
// it is open: its captions follow, not only its rows.
TEST_F(RecordsPanelsTest, TheLoopCheckFollowsTheLanguagePanel) {
    StartConnected();
    CResourceDatabase japanese;
    japanese.Init();
    japanese.Load("Japanese.lng");
    const auto ja = [&](const char* key) { return QString::fromStdString(japanese.UIMsg(key)); };
    CLoopCheckDialog* dialog = OpenLoopCheck("0");
    Run(dialog, "asFound", {"4.0"});
    dialog->close();

    for (const char* when : {"while closed", "while open"}) {
        const bool open = std::string(when) == "while open";
        window_->Settings().displayLanguage = open ? "English.lng" : "Japanese.lng";
        window_->ApplyLanguage(false);
        if (open) {
            window_->Settings().displayLanguage = "Japanese.lng";
            window_->ApplyLanguage(false);
        } else {
            CLoopCheckDialog* again = OpenLoopCheck("0");
            ASSERT_EQ(again, dialog);
        }
        EXPECT_EQ(dialog->windowTitle(), ja("Rec_Loop_Check")) << when;
        EXPECT_EQ(Button(dialog, "asFound")->text(), ja("Rec_Start_As_Found")) << when;
        EXPECT_EQ(Button(dialog, "redo")->text(), ja("Rec_Redo_Point")) << when;
        EXPECT_EQ(Button(dialog, "close")->text(), ja("Rec_Close")) << when;
        EXPECT_EQ(dialog->findChild<QLabel*>("technicianLabel")->text(), ja("Rec_Technician"))
            << when;
        EXPECT_EQ(dialog->Table()->horizontalHeaderItem(3)->text(), ja("Rec_Col_Measured")) << when;
        EXPECT_EQ(Cell(dialog, 0, 0), ja("Rec_As_Found")) << when;
        EXPECT_EQ(dialog->Verdicts()->text(), ja("Rec_As_Found") + "の判定: " + ja("Rec_Pass"))
            << when;
    }
}

// The preview shows the pages the saved PDF has: as many, for records long
// and short (page numbers, marks and the lines to sign take the same room).
TEST_F(RecordsPanelsTest, ThePreviewHasThePagesOfTheSavedPdf) {
#ifndef _WIN32
    ASSERT_TRUE(test::HavePoppler());
#endif
    StartConnected();
    test::TempFolder files;
    for (int rows = 20; rows <= 140; rows += 24) {
        RecordDocument doc;
        doc.title = "Configuration Report";
        doc.head = {{"Created", "2026-03-04 05:06 +09:00"}};
        RecordTable table{"Values", {"Item", "Value", "Unit"}, {}};
        for (int i = 0; i < rows; ++i) {
            table.rows.push_back({{"Row " + std::to_string(i)}, {std::to_string(i)}, {"mA"}});
        }
        doc.tables = {table, table};
        doc.signatures = {"Technician / Signature", "Checked by", "Date"};
        doc.pageMark = "Configuration Report, Tag TT-101";
        doc.pageOf = "Page %d of %d";
        const auto file = files / ("rows" + std::to_string(rows) + ".pdf");
        ASSERT_TRUE(RecordPdfWriter::Save(file, doc, RecordPdfWriter::DefaultPageSize()).ok());
        CRecordPreview preview(*window_, doc, "Save_Report", window_.get());
        preview.Preview()->updatePreview();
        QCoreApplication::processEvents();
#ifdef _WIN32
        EXPECT_GT(preview.Preview()->pageCount(), 0) << rows;
#else
        const std::string info = test::PdfInfo(file);
        const int pages = std::stoi(info.substr(info.find("Pages:") + 6));
        EXPECT_EQ(preview.Preview()->pageCount(), pages) << rows << " rows";
#endif
    }
}

}  // namespace
}  // namespace qt40
