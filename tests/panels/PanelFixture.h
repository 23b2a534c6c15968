#pragma once
// The real main window, offscreen, against the simulated QT40 behind a
// pseudo-terminal, with a temporary settings store and scripted answers; the
// panels are opened and driven as a user would.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "app/CFunctionKeys.h"
#include "app/CMainDlgDlg.h"
#include "model/EntryRules.h"
#include "model/ScriptedPrompts.h"
#include "panels/CConnectDevice.h"
#include "panels/CSensorInfo.h"
#include "sim/SimPtyServer.h"

namespace qt40 {

// Made once and never destroyed: tearing it down at exit, after the widgets
// and threads of the tests, is what Qt does not survive.
inline QApplication& PanelTestApp() {
    static int argc = 1;
    static char name[] = "panels_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// What the number entry dialog hands back for a typed text.
inline NumberResult Typed(const std::string& text) {
    NumberEntry open;
    open.minimum = -1e9;
    open.maximum = 1e9;
    open.zeroAllowed = true;
    return *CheckNumberEntry(open, text).result;
}

class PanelFixture : public ::testing::Test {
protected:
    void SetUp() override { PanelTestApp(); }

    void TearDown() override {
        if (window_) {
            window_->Connection().StopConnection();
            window_.reset();
        }
        if (server_) server_->Stop();
    }

    // Starts the window against `device` and connects to it.
    void StartConnected(sim::SimDevice device = sim::SimDevice{}) {
        server_ = std::make_unique<sim::SimPtyServer>(std::move(device));
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
        window_ = std::make_unique<CMainDlgDlg>(options);
        window_->show();
        ASSERT_TRUE(WaitFor([&] { return window_->ConnectPanel()->PortBox()->count() == 1; }));
        window_->OpenPanel(CFunctionKeys::kConnect);
        window_->ConnectPanel()->findChild<QPushButton*>("connect")->click();
        ASSERT_TRUE(WaitFor([&] {
            return window_->Connection().Connected() && !window_->Connection().ProgressShown() &&
                   !window_->ConnectPanel()->isVisible();
        }));
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

    // Lets a few idle polls pass: a write submitted before them has reached
    // the device by then (one request runs at a time, in order).
    bool LetPollsPass() {
        const std::uint64_t start = server_->RequestCount();
        return WaitFor([&] { return server_->RequestCount() >= start + 7; });
    }

    QString Text(QWidget* panel, const char* name) {
        auto* label = panel->findChild<QLabel*>(name);
        return label ? label->text() : QString("<no %1>").arg(name);
    }
    QPushButton* Button(QWidget* panel, const char* name) {
        return panel->findChild<QPushButton*>(name);
    }

    template <class F>
    decltype(auto) Device(F&& f) {
        return server_->WithDevice(
            [&](sim::SimDevice& d) -> decltype(auto) { return f(d.State()); });
    }

    // A write that never reaches the device and is given up: every answer to
    // `command` is dropped and "Err_COM" is answered with Cancel.
    void DropEveryAnswerTo(std::uint8_t command) {
        server_->WithDevice([command](sim::SimDevice& d) {
            d.Faults().onlyCommand = command;
            d.Faults().dropAnswer.remaining = -1;
        });
        prompts_.QueueAnswer(Answer::Cancel);
    }

    QTemporaryDir dir_;
    ScriptedPrompts prompts_;
    std::unique_ptr<sim::SimPtyServer> server_;
    std::unique_ptr<CMainDlgDlg> window_;
};

}  // namespace qt40
