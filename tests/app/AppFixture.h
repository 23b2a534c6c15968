#pragma once
// The real main window, offscreen, against the simulated QT40 behind a
// pseudo-terminal, with a temporary settings store and scripted answers.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

#include "app/CFunctionKeys.h"
#include "app/CMainDlgDlg.h"
#include "model/ScriptedPrompts.h"
#include "monitor/CDisplaySignal.h"
#include "panels/CConnectDevice.h"
#include "sim/SimServer.h"

namespace qt40 {


// Made once and never destroyed: tearing it down at exit, after the widgets
// and threads of the tests, is what Qt does not survive.
inline QApplication& App() {
    static int argc = 1;
    static char name[] = "app_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

inline constexpr int kTme = 1030;
inline constexpr int kCom = 1023;

// Scripted answers that also note the failure indicator when a question comes.
class WatchingPrompts : public ScriptedPrompts {
public:
    std::function<void()> onMessage;
    Answer Message(const std::string& key, const MessageArgs& args, BoxType type) override {
        if (onMessage) onMessage();
        return ScriptedPrompts::Message(key, args, type);
    }
};

class AppFixture : public ::testing::Test {
protected:
    void SetUp() override { App(); }

    void TearDown() override {
        if (window_) {
            window_->Connection().StopConnection();
            window_.reset();
        }
        if (server_) server_->Stop();
    }

    void Start(sim::SimDevice device = sim::SimDevice{}) {
        server_ = std::make_unique<sim::SimServer>(std::move(device));
        ASSERT_TRUE(server_->Start()) << server_->LastError();
        const std::string path = server_->SlavePath();
        AppOptions options;
        options.settingsFile = dir_.filePath("settings.ini");
        options.japaneseLocale = false;
        options.prompts = &prompts_;
        options.portSource = [path] { return std::vector<PortEntry>{{path, path, "pty " + path}}; };
        options.timing = LinkTiming::Fast();
        options.timing.answerTimeoutMs = 300;
        options.timing.searchAnswerTimeoutMs = 150;
        options.timing.interByteTimeoutMs = 150;
        options.reconnectWaitMs = 0;
        options.reportError = [this](const QString& text) { errors_.push_back(text); };
        window_ = std::make_unique<CMainDlgDlg>(options);
        window_->show();
        ASSERT_TRUE(WaitFor([&] { return window_->ConnectPanel()->PortBox()->count() == 1; }));
    }

    static bool WaitFor(const std::function<bool()>& done, int ms = 10000) {
        QElapsedTimer timer;
        timer.start();
        while (!done()) {
            if (timer.elapsed() > ms) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return true;
    }

    QPushButton* Key(int id) { return window_->Functions()->ButtonFor(id); }
    QPushButton* Child(QWidget* parent, const char* name) {
        return parent->findChild<QPushButton*>(name);
    }

    bool Connected() {
        return window_->Connection().Connected() && !window_->Connection().ProgressShown() &&
               !window_->ConnectPanel()->isVisible();
    }

    void Connect() {
        window_->OpenPanel(CFunctionKeys::kConnect);
        ASSERT_TRUE(window_->ConnectPanel()->isVisible());
        Child(window_->ConnectPanel(), "connect")->click();
        ASSERT_TRUE(WaitFor([&] { return Connected(); }));
    }

    QColor Indicator(int id) { return window_->StatusBar()->IndicatorColor(id); }

    // Waits for `n` more idle polls, seen as heartbeat changes.
    bool WaitForPolls(int n) {
        int changes = 0;
        QColor last = Indicator(kCom);
        return WaitFor([&] {
            const QColor now = Indicator(kCom);
            if (now != last) {
                ++changes;
                last = now;
            }
            return changes >= n;
        });
    }

    std::vector<int> EnabledKeys() {
        std::vector<int> on;
        for (int id : {1037, 1045, 1039, 1424, 1040, 1041, 1042, 1044, 1043, 1047, 1046, 1048,
                       1055, 1049, 1050, 1196}) {
            if (Key(id)->isEnabled()) on.push_back(id);
        }
        return on;
    }

    QTemporaryDir dir_;
    WatchingPrompts prompts_;
    std::unique_ptr<sim::SimServer> server_;
    std::unique_ptr<CMainDlgDlg> window_;
    std::vector<QString> errors_;
};

}  // namespace qt40
