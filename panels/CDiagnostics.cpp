#include "panels/CDiagnostics.h"

#include <QPushButton>

#include "panels/CAddStatus.h"

namespace qt40 {

CDiagnostics::CDiagnostics(PanelHost& host, CAddStatus& status, QWidget* parent)
    : CPanel(host, kDialogId, kReceiverDiagnostics, parent),
      procedureHost_(host),
      diagnostics_(host.Worker(), host.Questions(), procedureHost_),
      status_(status) {
    setObjectName("CDiagnostics");
    AddTitle(1901, "Diagnostics");
    const auto button = [this](int id, const char* text, const char* name) {
        QPushButton* b = AddButton(id, text);
        b->setObjectName(name);
        AddRow(b);
        return b;
    };
    reset_ = button(1902, "Master Reset Device", "masterReset");
    configFlag_ = button(1903, "Reset Configuration Change Flag", "resetConfigFlag");
    selfTest_ = button(1904, "Execute Diagnostics", "selfTest");
    start_ = button(1905, "Start to display Additional Status", "startStatus");
    stop_ = button(1906, "Stop to display Additional Status", "stopStatus");
    AddCloseButton(1907, "Close Diagnostics");

    connect(reset_, &QPushButton::clicked, this, [this] {
        reset_->setEnabled(false);
        if (!diagnostics_.MasterReset()) {
            reset_->setEnabled(true);
            return;
        }
        EnableButtons(false);
    });
    connect(configFlag_, &QPushButton::clicked, this, [this] {
        configFlag_->setEnabled(false);
        if (diagnostics_.ResetConfigFlag() != kCommSuccess) configFlag_->setEnabled(true);
    });
    connect(selfTest_, &QPushButton::clicked, this, [this] {
        selfTest_->setEnabled(false);
        if (!diagnostics_.SelfTest()) {
            selfTest_->setEnabled(true);
            return;
        }
        EnableButtons(false);
    });
    connect(start_, &QPushButton::clicked, this, [this] { diagnostics_.ReadAdditionalStatus(); });
    connect(stop_, &QPushButton::clicked, this, &CDiagnostics::StopStatus);
    connect(&status_, &CAddStatus::connectionLost, this, [this] {
        if (isVisible()) Show(false);
    });
}

void CDiagnostics::EnableButtons(bool on) {
    for (QPushButton* b : {reset_, configFlag_, selfTest_, start_, stop_, close_})
        b->setEnabled(on);
}

void CDiagnostics::ButtonsIdle() {
    EnableButtons(true);
    stop_->setEnabled(false);
}

void CDiagnostics::Show(bool show) {
    if (show) ButtonsIdle();
    if (!show && status_.isVisible()) status_.Show(false);
    CPanel::Show(show);
}

void CDiagnostics::ShowStatus() {
    EnableButtons(false);
    stop_->setEnabled(true);
    status_.Show(true);
}

void CDiagnostics::StopStatus() {
    status_.Show(false);
    CPanel::Show(true);
    ButtonsIdle();
}

bool CDiagnostics::HandleNotification(const Notification& n) {
    const ProcedureStep step = diagnostics_.HandleNotification(n);
    switch (step) {
        case ProcedureStep::NotMine:
            return false;
        case ProcedureStep::Continues:
            return true;
        case ProcedureStep::ConnectionLost:
            if (host_.Connection().Connected()) host_.Connection().StopConnection();
            if (isVisible()) Show(false);
            break;
        case ProcedureStep::Refused:
            ButtonsIdle();
            break;
        case ProcedureStep::Finished:
            if (diagnostics_.ShowsStatus()) {
                ShowStatus();
            } else {
                ButtonsIdle();
            }
            break;
    }
    host_.RequestDone();
    return true;
}

}  // namespace qt40
