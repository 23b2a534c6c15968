// The traffic window of the real main window, offscreen, against the
// simulated QT40 on a pseudo-terminal.

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTest>
#include <fstream>

#include "tests/app/AppFixture.h"
#include "monitor/CTrafficWindow.h"
#include "monitor/TrafficTableModel.h"
#include "traffic/CaptureReader.h"
#include "traffic/TrafficCsv.h"

namespace qt40 {
namespace {

class TrafficWindowTest : public AppFixture {
protected:
    CTrafficWindow* Traffic() { return window_->TrafficWindow(); }
    TrafficTableModel* Model() { return Traffic()->Model(); }
    // Rows in the table once the window has taken what the link recorded.
    int Rows() {
        Traffic()->Follow();
        return Model()->rowCount();
    }
    QComboBox* Combo(const char* name) { return Traffic()->findChild<QComboBox*>(name); }
};

TEST_F(TrafficWindowTest, OpensByKeyAndByTheCommunicationRowAndFollowsThePolls) {
    Start();
    Connect();
    // Ctrl+T on the main window.
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    QTest::keyClick(window_.get(), Qt::Key_T, Qt::ControlModifier);
    ASSERT_NE(Traffic(), nullptr);
    ASSERT_TRUE(WaitFor([&] { return Traffic()->isVisible(); }));
    Traffic()->close();
    // A double-click on the "Comm Status" row.
    QLabel* comm = window_->StatusBar()->findChild<QLabel*>("label1191");
    ASSERT_NE(comm, nullptr);
    QTest::mouseDClick(comm, Qt::LeftButton);
    EXPECT_TRUE(Traffic()->isVisible());
    EXPECT_FALSE(comm->toolTip().isEmpty());

    // Connecting took command 0 (the frame check) and the upload list, which
    // begins with it again; the polls follow.
    ASSERT_GE(Rows(), 19);
    EXPECT_EQ(Model()->At(0)->Command(), 0);
    EXPECT_EQ(Model()->data(Model()->index(0, TrafficTableModel::kName), Qt::DisplayRole).toString(),
              "Read unique identifier");
    const int before = Rows();
    ASSERT_TRUE(WaitFor([&] { return Rows() >= before + 6; }));

    // Paused, it takes nothing; going on, it catches up.
    QPushButton* pause = Child(Traffic(), "pause");
    pause->click();
    const int paused = Rows();
    ASSERT_TRUE(WaitForPolls(3));
    EXPECT_EQ(Rows(), paused);
    pause->click();
    EXPECT_GT(Rows(), paused);

    // The decoded exchange and its bytes below the table.
    int row = Model()->rowCount() - 1;
    while (Model()->At(row)->Command() != 3) --row;
    Traffic()->SelectRow(row);
    const QString detail = Traffic()->Detail()->toPlainText();
    EXPECT_TRUE(detail.contains("cmd 3 Read loop current and dynamic variables")) << detail.toStdString();
    EXPECT_TRUE(detail.contains("PV unit = 32 (degC)")) << detail.toStdString();
    EXPECT_TRUE(detail.contains("  Bytes: 86 ")) << detail.toStdString();

    // Clearing forgets everything so far.
    Child(Traffic(), "clear")->click();
    EXPECT_EQ(Model()->rowCount(), 0);
    EXPECT_EQ(window_->Traffic().Size(), 0u);
}

// In Japanese the decoder's words are Japanese too: the command filter, the
// Name and Response columns and the detail pane (unit names stay as they are).
TEST_F(TrafficWindowTest, DecodesInTheLanguageChosen) {
    Start();
    window_->Settings().displayLanguage = "Japanese.lng";
    window_->ApplyLanguage(false);
    window_->OpenTraffic();
    Connect();
    ASSERT_TRUE(WaitFor([&] { return Rows() > 20; }));
    EXPECT_EQ(Model()->data(Model()->index(0, TrafficTableModel::kName), Qt::DisplayRole).toString(),
              QString::fromUtf8("固有識別子の読み出し"));
    EXPECT_EQ(Model()->data(Model()->index(0, TrafficTableModel::kResponse), Qt::DisplayRole).toString(),
              QString::fromUtf8("成功"));
    QComboBox* commands = Combo("commandFilter");
    EXPECT_EQ(commands->itemText(commands->findData(3)),
              QString::fromUtf8("3  ループ電流とダイナミック変数の読み出し"));
    int row = Model()->rowCount() - 1;
    while (Model()->At(row)->Command() != 3) --row;
    Traffic()->SelectRow(row);
    const QString detail = Traffic()->Detail()->toPlainText();
    EXPECT_TRUE(detail.contains(QString::fromUtf8("cmd 3 ループ電流とダイナミック変数の読み出し")))
        << detail.toStdString();
    EXPECT_TRUE(detail.contains(QString::fromUtf8("PV単位 = 32 (degC)"))) << detail.toStdString();
    EXPECT_TRUE(detail.contains(QString::fromUtf8("  応答コード 0: 成功"))) << detail.toStdString();
}

TEST_F(TrafficWindowTest, FiltersByCommandAndByResult) {
    sim::SimDevice device;
    device.Faults().responseCodeFor[48] = 16;  // refused, every time
    Start(std::move(device));
    window_->OpenTraffic();
    Connect();
    ASSERT_TRUE(WaitFor([&] { return Rows() > 30; }));

    QComboBox* commands = Combo("commandFilter");
    commands->setCurrentIndex(commands->findData(3));
    ASSERT_GT(Model()->rowCount(), 0);
    for (int r = 0; r < Model()->rowCount(); ++r) EXPECT_EQ(Model()->At(r)->Command(), 3);

    commands->setCurrentIndex(0);
    QComboBox* results = Combo("resultFilter");
    results->setCurrentIndex(results->findData(static_cast<int>(traffic::ResultClass::Refused)));
    ASSERT_GT(Model()->rowCount(), 0);
    for (int r = 0; r < Model()->rowCount(); ++r) {
        EXPECT_EQ(Model()->At(r)->Command(), 48);
        EXPECT_EQ(Model()->data(Model()->index(r, TrafficTableModel::kResponse), Qt::DisplayRole),
                  "access restricted");
    }
    const int refused = Model()->rowCount();
    ASSERT_TRUE(WaitFor([&] { return Rows() > refused; }));  // new ones still come in, filtered
    results->setCurrentIndex(0);
    EXPECT_GT(Model()->rowCount(), refused);
}

TEST_F(TrafficWindowTest, SavesWhatItShowsAsCaptureAndCsv) {
    Start();
    window_->OpenTraffic();
    Connect();
    ASSERT_TRUE(WaitFor([&] { return Rows() > 25; }));
    Child(Traffic(), "pause")->click();
    const auto shown = Model()->Shown();

    const std::string capture = dir_.filePath("t.pcapng").toStdString();
    prompts_.QueueFileName(capture);
    Traffic()->findChild<QAction*>("saveCapture")->trigger();
    std::string error;
    const auto read = traffic::CaptureReader::ReadFile(capture, error);
    ASSERT_TRUE(read) << error;
    ASSERT_EQ(read->exchanges.size(), shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i) EXPECT_EQ(read->exchanges[i].answer, shown[i]->answer);
    EXPECT_NE(read->comments.at(0).find(server_->SlavePath()), std::string::npos);
    EXPECT_EQ(prompts_.FileRequests().back().request.titleKey, "Save_Traffic_Capture");

    // Filtered, it says so in the dialog's title and the capture's comment,
    // and every exchange keeps the number it was recorded under.
    QComboBox* commands = Combo("commandFilter");
    commands->setCurrentIndex(commands->findData(3));
    const auto filtered = Model()->Shown();
    ASSERT_FALSE(filtered.empty());
    ASSERT_LT(filtered.size(), shown.size());
    const std::string part = dir_.filePath("part.pcapng").toStdString();
    prompts_.QueueFileName(part);
    Traffic()->findChild<QAction*>("saveCapture")->trigger();
    EXPECT_EQ(prompts_.FileRequests().back().request.titleKey, "Save_Traffic_Capture_Shown");
    const auto partRead = traffic::CaptureReader::ReadFile(part, error);
    ASSERT_TRUE(partRead) << error;
    EXPECT_NE(partRead->comments.at(0).find("with a filter on: the " +
                                            std::to_string(filtered.size()) + " exchanges shown"),
              std::string::npos)
        << partRead->comments.at(0);
    ASSERT_EQ(partRead->exchanges.size(), filtered.size());
    for (std::size_t i = 0; i < filtered.size(); ++i) {
        EXPECT_EQ(partRead->exchanges[i].number, filtered[i]->number);
        EXPECT_EQ(Model()->data(Model()->index(static_cast<int>(i), TrafficTableModel::kNumber),
                                Qt::DisplayRole),
                  QString::number(filtered[i]->number));
    }
    commands->setCurrentIndex(0);

    const std::string csv = dir_.filePath("t.csv").toStdString();
    prompts_.QueueFileName(csv);
    Traffic()->findChild<QAction*>("saveCsv")->trigger();
    std::ifstream in(csv);
    int lines = 0;
    for (std::string line; std::getline(in, line);) ++lines;
    EXPECT_EQ(lines, static_cast<int>(shown.size()) + 1);

    // A folder that is not there: the message says why, nothing is half-written.
    prompts_.QueueFileName(dir_.filePath("none/t.csv").toStdString());
    prompts_.QueueAnswer(Answer::Ok);
    Traffic()->findChild<QAction*>("saveCsv")->trigger();
    ASSERT_FALSE(prompts_.Messages().empty());
    EXPECT_EQ(prompts_.Messages().back().key, "Err_Traffic_Save");
}

// Open while the language panel switches: the window follows, both ways.
TEST_F(TrafficWindowTest, FollowsTheLanguagePanelWhileOpen) {
    Start();
    window_->OpenTraffic();
    ASSERT_TRUE(Traffic()->isVisible());
    for (const char* file : {"Japanese.lng", "English.lng"}) {
        CResourceDatabase texts;
        texts.Init();
        texts.Load(file);
        window_->Settings().displayLanguage = file;
        window_->ApplyLanguage(false);
        ASSERT_TRUE(Traffic()->isVisible()) << file;
        EXPECT_EQ(Traffic()->windowTitle().toStdString(), texts.UIMsg("Traffic_Title")) << file;
        EXPECT_EQ(Child(Traffic(), "pause")->text().toStdString(), texts.UIMsg("Traffic_Pause"))
            << file;
        EXPECT_EQ(Combo("resultFilter")->itemText(0).toStdString(),
                  texts.UIMsg("Traffic_All_Results"))
            << file;
        const std::string columns = texts.UIMsg("Traffic_Columns");
        EXPECT_EQ(Model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString().toStdString(),
                  columns.substr(0, columns.find('|')))
            << file;
    }
}

}  // namespace
}  // namespace qt40
