#include "CMainDlgApp.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <functional>

#include "CFunctionKeys.h"
#include "CMainDlgDlg.h"
#include "panels/CFileProperty.h"
#include "panels/CFileProperty2.h"
#include "panels/CPanel.h"
#include "resources/CAppSettings.h"

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
    for (int button : {CFunctionKeys::kDeviceInfo, CFunctionKeys::kSensorInfo,
                       CFunctionKeys::kPollingAddress, CFunctionKeys::kLanguage}) {
        CPanel* panel = window.PanelFor(button);
        window.OpenPanel(button);
        ok = Grab(window, dir, prefix + QString::number(n++) + "-" + panel->objectName()) && ok;
        panel->Show(false);
    }
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
    window.Connection().StopConnection();
    return ok ? 0 : 1;
}

}  // namespace

int CMainDlgApp::Run(int argc, char** argv) {
    bool screenshots = false;
    for (int i = 1; i < argc; ++i) screenshots |= std::strcmp(argv[i], "--screenshots") == 0;
    if (screenshots && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    // Qt takes the number format from the environment; our texts and files
    // use the C format whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QFileInfo(QCoreApplication::applicationFilePath()).baseName());
    QApplication::setApplicationVersion(CMainDlgDlg::Caption());

    QCommandLineParser parser;
    parser.setApplicationDescription("Configurator for the QT40 HART temperature transmitter");
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption demo("demo", "Start with a simulated QT40 and connect to it.");
    const QCommandLineOption shots("screenshots", "Render the main window into PNG files in <dir>.",
                                   "dir");
    const QCommandLineOption language("language",
                                      "With --screenshots: the language file to use.", "file");
    parser.addOptions({demo, shots, language});
    parser.process(app);

    if (parser.isSet(shots)) return RunScreenshots(parser.value(shots), parser.value(language));

    AppOptions options;
    options.demo = parser.isSet(demo);
    CMainDlgDlg window(options);
    window.show();
    if (options.demo) QTimer::singleShot(300, &window, [&window] { window.ConnectDemoDevice(); });
    return app.exec();
}

}  // namespace qt40
