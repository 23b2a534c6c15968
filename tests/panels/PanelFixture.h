#pragma once
// The window fixture of the application tests, with what the panel tests
// add: connecting at start, reading panel rows and starving one command.

#include "model/EntryRules.h"
#include "panels/CSensorInfo.h"
#include "tests/app/AppFixture.h"

namespace qt40 {

// What the number entry dialog hands back for a typed text.
inline NumberResult Typed(const std::string& text) {
    NumberEntry open;
    open.minimum = -1e9;
    open.maximum = 1e9;
    open.zeroAllowed = true;
    return *CheckNumberEntry(open, text).result;
}

class PanelFixture : public AppFixture {
protected:
    // Starts the window against `device` and connects to it.
    void StartConnected(sim::SimDevice device = sim::SimDevice{}) {
        Start(std::move(device));
        Connect();
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
};

}  // namespace qt40
