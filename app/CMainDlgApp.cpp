#include "app/CMainDlgApp.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSessionManager>
#include <QTemporaryDir>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "app/CFunctionKeys.h"
#include "app/CMainDlgDlg.h"
#include "app/EndSignals.h"
#include "monitor/CDisplayArea.h"
#include "monitor/CTrafficWindow.h"
#include "monitor/CTrendGraph.h"
#include "monitor/TrafficTableModel.h"
#include "panels/CAddStatus.h"
#include "panels/CAnalogOP.h"
#include "panels/CConnectDevice.h"
#include "panels/CFileProperty.h"
#include "panels/CFileProperty2.h"
#include "panels/CLoopCheckDialog.h"
#include "panels/CPanel.h"
#include "panels/CRecordPreview.h"
#include "records/RecordPdfWriter.h"
#include "records/RecordTime.h"
#include "resources/CAppSettings.h"
#include "sim/SimServer.h"

namespace qt40 {
namespace {

// Lets the event loop run for `ms`, or until `done` holds.
bool Settle(int ms, const std::function<bool()>& done = {}) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        if (done && done()) return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return !done || done();
}

bool Grab(QWidget& window, const QDir& dir, const QString& name) {
    Settle(150);
    const QString path = dir.filePath(name + ".png");
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "qt40cfg: cannot write %s\n", path.toLocal8Bit().constData());
        return false;
    }
    std::printf("%s\n", path.toLocal8Bit().constData());
    return true;
}

// The records: the report as its preview shows it and as PDF, and the
// loop-check dialog half-way through a check, then its sheet as PDF. The
// PDFs' first pages become PNG files in `./dev screenshots`.
bool RecordScreenshots(CMainDlgDlg& window, const QDir& dir, const QString& prefix, int& n) {
    bool ok = true;
    const auto pdf = [&](const QString& name, const RecordDocument& doc) {
        const FileResult saved =
            RecordPdfWriter::Save(dir.filePath(name).toStdString(), doc, QPageSize::A4);
        if (!saved.ok()) {
            std::fprintf(stderr, "qt40cfg: %s\n", saved.error.c_str());
            ok = false;
        }
    };
    if (CPanel* page = window.PanelFor(CFunctionKeys::kFile)) {
        window.OpenPanel(CFunctionKeys::kFile);
        const int number = n++;
        bool reported = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &window, [&] {
            auto* preview = qobject_cast<CRecordPreview*>(QApplication::activeModalWidget());
            if (!preview) return;
            poll.stop();
            ok = Grab(*preview, dir, prefix + QString::number(number) + "-report-preview") && ok;
            pdf(prefix + QString::number(number) + "-report.pdf", preview->Document());
            preview->accept();
            reported = true;
        });
        poll.start(50);
        // The report's reads go first; its preview comes with their answers.
        page->findChild<QPushButton*>("report")->click();
        if (!Settle(20000, [&] { return reported && window.isEnabled(); })) {
            std::fprintf(stderr, "qt40cfg: the report did not come\n");
            ok = false;
        }
        poll.stop();
        page->Show(false);
    }
    window.OpenPanel(CFunctionKeys::kAnalogOutput);
    auto* analog = dynamic_cast<CAnalogOP*>(window.PanelFor(CFunctionKeys::kAnalogOutput));
    if (!analog) return false;
    analog->findChild<QPushButton*>("loopCheck")->click();
    CLoopCheckDialog* dialog = analog->LoopCheck();
    dialog->findChild<QLineEdit*>("technician")->setText("A. Tanaka");
    dialog->findChild<QLineEdit*>("meter")->setText("DMM-0042");
    dialog->findChild<QLineEdit*>("note")->setText("TT-101 loop, marshalling cabinet 3");
    // As found with one point out of tolerance, then as left: the second run
    // half-way (the point being checked in view under the first's verdict),
    // then both verdicts.
    const auto run = [&](const char* button, const std::vector<const char*>& readings, int grabAt) {
        dialog->findChild<QPushButton*>(button)->click();
        for (std::size_t i = 0; i < readings.size(); ++i) {
            Settle(5000, [&] {
                return dialog->Check().CurrentState() == LoopCheckProcedure::State::Measuring &&
                       dialog->Check().PointIndex() == i && window.isEnabled();
            });
            if (static_cast<int>(i) == grabAt) {
                ok = Grab(*dialog, dir, prefix + QString::number(n) + "-" + dialog->objectName()) &&
                     ok;
            }
            dialog->findChild<QLineEdit*>("measured")->setText(readings[i]);
            dialog->findChild<QPushButton*>("enter")->click();
        }
        Settle(5000, [&] { return !dialog->Check().Running() && window.isEnabled(); });
    };
    run("asFound", {"4.002", "8.04", "12.0401", "15.96", "19.959"}, -1);
    run("asLeft", {"4.001", "7.998", "12.003", "15.995", "20.002"}, 2);
    ok = Grab(*dialog, dir,
              prefix + QString::number(n++) + "-" + dialog->objectName() + "-verdicts") &&
         ok;
    Settle(5000, [&] { return !dialog->Check().Running() && window.isEnabled(); });
    pdf(prefix + QString::number(n++) + "-loop-check.pdf",
        dialog->Sheet().ToDocument(WindowRecordTexts(window.Texts()), ProgramForRecords(),
                                   LocalTimestamp()));
    dialog->close();
    analog->Show(false);
    return ok;
}

// The window under a title bar showing its title, as a window frame would
// (the offscreen platform draws none).
bool GrabWithTitle(QWidget& window, const QDir& dir, const QString& name) {
    Settle(150);
    const QPixmap body = window.grab();
    constexpr int kTitleHeight = 30;
    QImage image(body.width(), body.height() + kTitleHeight, QImage::Format_RGB32);
    image.fill(QColor(222, 222, 222));
    {
        QPainter painter(&image);
        painter.drawPixmap(0, kTitleHeight, body);
        painter.drawPixmap(8, 7, window.windowIcon().pixmap(16, 16));
        QFont font = window.font();
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QRect(30, 0, body.width() - 36, kTitleHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, window.windowTitle());
    }
    const QString path = dir.filePath(name + ".png");
    if (!image.save(path)) {
        std::fprintf(stderr, "qt40cfg: cannot write %s\n", path.toLocal8Bit().constData());
        return false;
    }
    std::printf("%s\n", path.toLocal8Bit().constData());
    return true;
}

// Which device and how fresh its values are: the title while connected, the
// PV bar under a range with long labels, and the monitor once disconnected.
bool DeviceScreenshots(CMainDlgDlg& window, const QDir& dir, const QString& prefix, int n) {
    bool ok = GrabWithTitle(window, dir, prefix + QString::number(n++) + "-title");
    if (auto* page = dynamic_cast<CFileProperty*>(window.PanelFor(CFunctionKeys::kFile))) {
        // The device's range as an upload brings it.
        window.DemoDevice()->WithDevice([](sim::SimDevice& d) {
            d.State().upperRange = 1200.45f;
            d.State().lowerRange = -200.0f;
        });
        window.OpenPanel(CFunctionKeys::kFile);
        page->findChild<QPushButton*>("upload")->click();
        Settle(20000, [&] {
            return window.Worker().RecordSnapshot().upperRange > 1200.0 &&
                   !window.Connection().ProgressShown() && window.isEnabled();
        });
        page->Show(false);
        Settle(1500);
        ok = Grab(*window.Monitor(), dir, prefix + QString::number(n++) + "-pv-scale") && ok;
    }
    window.Connection().StopConnection();
    ok = GrabWithTitle(window, dir, prefix + QString::number(n++) + "-disconnected") && ok;
    return ok;
}

// The main window in a fixed sequence, connected to the demo device, as PNG
// files; a settings store of its own leaves the user's untouched.
int RunScreenshots(const QString& directory, const QString& language) {
    QDir dir(directory);
    if (!dir.mkpath(".")) {
        std::fprintf(stderr, "qt40cfg: cannot create %s\n", directory.toLocal8Bit().constData());
        return 1;
    }
    QTemporaryDir scratch;
    AppOptions options;
    options.settingsFile = scratch.filePath("settings.ini");
    {
        CAppSettings settings(options.settingsFile);
        settings.Load(false);
        if (!language.isEmpty()) {
            settings.displayLanguage = language.toStdString();
            settings.displayLanguageName = QFileInfo(language).baseName().toStdString();
        }
        settings.Save();
    }
    options.demo = true;
    options.demoRealtime = false;
    options.reconnectWaitMs = 0;
    options.portSource = [] { return std::vector<PortEntry>{}; };
    QString failure;
    options.reportError = [&failure](const QString& text) { failure = text; };

    CMainDlgDlg window(options);
    window.show();
    Settle(300);
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "qt40cfg: %s\n", failure.toLocal8Bit().constData());
        return 1;
    }
    const QString prefix = language.isEmpty() ? QString() : QFileInfo(language).baseName() + "-";
    bool ok = Grab(window, dir, prefix + "1-start");
    window.OpenPanel(CFunctionKeys::kConnect);
    ok = Grab(window, dir, prefix + "2-connection") && ok;
    window.ConnectDemoDevice();
    if (!Settle(20000, [&] {
            return window.Connection().Connected() && !window.Connection().ProgressShown() &&
                   !window.PanelFor(CFunctionKeys::kConnect)->isVisible();
        })) {
        std::fprintf(stderr, "qt40cfg: the demo device did not connect\n");
        return 1;
    }
    Settle(1500);
    ok = Grab(window, dir, prefix + "3-connected") && ok;
    int n = 4;
    for (int button :
         {CFunctionKeys::kDeviceInfo, CFunctionKeys::kSensorInfo, CFunctionKeys::kPollingAddress,
          CFunctionKeys::kLanguage, CFunctionKeys::kSensorCal}) {
        CPanel* panel = window.PanelFor(button);
        window.OpenPanel(button);
        if (button == CFunctionKeys::kSensorCal) {
            // Its calibration rows as read from the device, and the PV as the polls bring it.
            panel->findChild<QPushButton*>("readCalibration")->click();
            auto* pv = panel->findChild<QLabel*>("pv");
            Settle(5000, [&] { return window.isEnabled() && pv && pv->text() != "0.000000"; });
        }
        ok = Grab(window, dir, prefix + QString::number(n++) + "-" + panel->objectName()) && ok;
        panel->Show(false);
    }
    // The trend of PV over some two dozen polls of the demo device.
    window.Monitor()->GraphButton(CDisplayArea::kPv)->click();
    window.TrendGraph()->StartButton()->click();
    if (!Settle(40000, [&] { return window.TrendGraph()->Samples().Size() >= 24; })) {
        std::fprintf(stderr, "qt40cfg: the trend graph took too few samples\n");
        ok = false;
    }
    window.TrendGraph()->StopButton()->click();
    ok = Grab(window, dir, prefix + QString::number(n++) + "-trend") && ok;
    window.TrendGraph()->CloseButton()->click();
    // The file pages after an upload and a compare, with one file value on
    // each page differing from the device.
    if (auto* page = dynamic_cast<CFileProperty*>(window.PanelFor(CFunctionKeys::kFile))) {
        window.OpenPanel(CFunctionKeys::kFile);
        page->findChild<QPushButton*>("upload")->click();
        Settle(20000, [&] {
            return !page->Model().Text(Side::Device, Field::Tag).empty() &&
                   !window.Connection().ProgressShown();
        });
        page->findChild<QPushButton*>("allCopyToFile")->click();
        page->Model().SetText(Side::File, Field::Tag, "TT-102");
        page->Model().SetText(Side::File, Field::AoAlarmHigh, "22.500");
        page->findChild<QPushButton*>("compareFile")->click();
        ok = Grab(window, dir, prefix + QString::number(n++) + "-CFileProperty") && ok;
        page->findChild<QPushButton*>("page")->click();
        ok = Grab(window, dir, prefix + QString::number(n++) + "-CFileProperty2") && ok;
        page->SecondPage()->Show(false);
    }
    {
        // The additional status beside the diagnostics panel, with one bit
        // set so that both colours show.
        window.DemoDevice()->WithDevice(
            [](sim::SimDevice& d) { d.State().additionalStatus[3] = 0x01; });
        window.OpenPanel(CFunctionKeys::kDiagnostics);
        CPanel* diagnostics = window.PanelFor(CFunctionKeys::kDiagnostics);
        auto* start = diagnostics->findChild<QPushButton*>("startStatus");
        auto* status = window.findChild<CAddStatus*>();
        if (start && status) {
            Settle(5000, [&] { return window.isEnabled(); });
            start->click();
            Settle(5000, [&] { return status->isVisible() && window.isEnabled(); });
            Settle(400);
            ok =
                Grab(window, dir, prefix + QString::number(n++) + "-" + status->objectName()) && ok;
            diagnostics->findChild<QPushButton*>("stopStatus")->click();
        }
        diagnostics->Show(false);
        window.DemoDevice()->WithDevice(
            [](sim::SimDevice& d) { d.State().additionalStatus[3] = 0; });
    }
    // Numbered after the closing question, which keeps its number.
    int recordNumber = n + 1;
    ok = RecordScreenshots(window, dir, prefix, recordNumber) && ok;
    // The closing question, to show its buttons in the chosen language;
    // answered No, so the window stays.
    QTimer poll;
    int tries = 0;
    QObject::connect(&poll, &QTimer::timeout, &window, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            if (++tries > 100) poll.stop();
            return;
        }
        poll.stop();
        ok = Grab(*box, dir, prefix + QString::number(n) + "-question") && ok;
        box->button(QMessageBox::No) ? box->button(QMessageBox::No)->click() : box->reject();
    });
    poll.start(50);
    window.close();
    poll.stop();
    {
        // The traffic of the polls, a command 3 exchange decoded below the table.
        window.OpenTraffic();
        CTrafficWindow* traffic = window.TrafficWindow();
        Settle(5000, [&] { return traffic->Model()->rowCount() >= 40; });
        traffic->Follow();
        for (int row = traffic->Model()->rowCount() - 1; row >= 0; --row) {
            if (traffic->Model()->At(row)->Command() == 3) {
                traffic->SelectRow(row);
                break;
            }
        }
        traffic->findChild<QPushButton*>("pause")->setChecked(true);
        ok = Grab(*traffic, dir, prefix + QString::number(recordNumber) + "-traffic") && ok;
        traffic->close();
    }
    ok = DeviceScreenshots(window, dir, prefix, recordNumber + 1) && ok;
    window.Connection().StopConnection();
    return ok ? 0 : 1;
}

// For the tests of the program's ending: QT40CFG_TEST_HOLD names what fixes
// the loop once --port has connected ("loop-check": the loop-check dialog's
// first point; "analog-output": the analog output panel at the present loop
// current; "trim-dac": the Trim DAC panel at its lower point).
void HoldLoopForTest(CMainDlgDlg& window, const QString& what) {
    auto* poll = new QTimer(&window);
    QObject::connect(poll, &QTimer::timeout, &window, [&window, what, poll] {
        if (!window.Connection().Connected() || !window.Worker().Polling() || !window.isEnabled()) {
            return;
        }
        poll->deleteLater();
        window.FixedCurrentNoticeGiven();
        const int panel =
            what == "trim-dac" ? CFunctionKeys::kTrimDac : CFunctionKeys::kAnalogOutput;
        window.OpenPanel(panel);
        CPanel* shown = window.PanelFor(panel);
        if (what == "trim-dac") {
            shown->findChild<QPushButton*>("lowerTrim")->click();
        } else if (what == "analog-output") {
            shown->findChild<QPushButton*>("currentPv")->click();
        } else if (auto* analog = dynamic_cast<CAnalogOP*>(shown)) {
            analog->findChild<QPushButton*>("loopCheck")->click();
            analog->LoopCheck()->findChild<QPushButton*>("asFound")->click();
        }
    });
    poll->start(100);
}

// The window program's options, for the window and for --help alone.
struct CommandLine {
    QCommandLineParser parser;
    QCommandLineOption demo{"demo", "Start with a simulated QT40 and connect to it."};
    QCommandLineOption shots{"screenshots", "Render the main window into PNG files in <dir>.",
                             "dir"};
    QCommandLineOption language{"language", "With --screenshots: the language file to use.",
                                "file"};
    QCommandLineOption port{
        "port",
        "Connect at start to the serial port <port> (a name under /dev or a path) or the "
        "HART-IP gateway hartip://HOST[:PORT] or hartip+udp://HOST[:PORT] (/CARD/CHANNEL after it "
        "for a device behind an I/O system).",
        "port"};
    QCommandLineOption address{"address", "With --port: the polling address, 0 to 15.", "address"};

    CommandLine() {
        parser.setApplicationDescription("Configurator for the QT40 HART temperature transmitter");
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOptions({demo, shots, language, port, address});
    }
};

void NameApplication() {
    QCoreApplication::setApplicationName(
        QFileInfo(QCoreApplication::applicationFilePath()).baseName());
    QCoreApplication::setApplicationVersion(CMainDlgDlg::Caption());
}

}  // namespace

int CMainDlgApp::Run(int argc, char** argv) {
    bool screenshots = false;
    bool information = false;
    for (int i = 1; i < argc; ++i) {
        screenshots |= std::strcmp(argv[i], "--screenshots") == 0;
        for (const char* option : {"-h", "-?", "--help", "--help-all", "-v", "--version"}) {
            information |= std::strcmp(argv[i], option) == 0;
        }
    }
    if (information) {
        // Help and version need no window, so no display either.
        QCoreApplication core(argc, argv);
        NameApplication();
        CommandLine line;
        line.parser.process(core);  // prints and exits
        return 0;
    }
#ifndef _WIN32
    if (screenshots && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
#endif
    // On Windows the window is shown while it is photographed: Qt's offscreen
    // platform draws there only with fonts from Qt's own font folder, which a
    // program that carries its Qt inside has not got.
    (void)screenshots;
    QApplication app(argc, argv);
    // Qt takes the number format from the environment; our texts and files
    // use the C format whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    NameApplication();

    CommandLine line;
    QCommandLineParser& parser = line.parser;
    const QCommandLineOption& demo = line.demo;
    const QCommandLineOption& shots = line.shots;
    const QCommandLineOption& language = line.language;
    const QCommandLineOption& port = line.port;
    const QCommandLineOption& address = line.address;
    parser.process(app);

    int startAddress = -1;
    if (parser.isSet(address)) {
        bool ok = false;
        startAddress = parser.value(address).toInt(&ok);
        if (!ok || startAddress < 0 || startAddress > 15 || !parser.isSet(port)) {
            std::fprintf(stderr, "qt40cfg: --address takes 0 to 15 and goes with --port\n");
            return 2;
        }
    }
    if (parser.isSet(shots)) return RunScreenshots(parser.value(shots), parser.value(language));

    AppOptions options;
    options.demo = parser.isSet(demo);
    CMainDlgDlg window(options);
    // Told to end by the system: the loop is released first, nobody asked.
    EndSignals ends;
    QObject::connect(&ends, &EndSignals::requested, &window, [&window, &ends](int) {
        window.EndOnSignal();
        ends.Finished();
    });
    // The session ends (a log-off, a shut-down): release, let the system end us.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.EndOnSignal(false); });
    window.show();
    if (options.demo) QTimer::singleShot(300, &window, [&window] { window.ConnectDemoDevice(); });
    if (parser.isSet(port)) {
        QTimer::singleShot(300, &window, [&window, path = parser.value(port), startAddress] {
            window.OpenPanel(CFunctionKeys::kConnect);
            window.ConnectPanel()->ConnectTo(path, startAddress);
        });
        const QString hold = qEnvironmentVariable("QT40CFG_TEST_HOLD");
        if (!hold.isEmpty()) HoldLoopForTest(window, hold);
    }
    return app.exec();
}

}  // namespace qt40
