#pragma once
// The "Diagnostics" panel: master reset with re-upload, reset of the
// configuration-changed flag, self test, and the additional status panel
// beside it.

#include <array>

#include "panels/CPanel.h"
#include "panels/PanelProcedureHost.h"
#include "procedures/DiagnosticsProcedure.h"

namespace qt40 {

class CAddStatus;

class CDiagnostics : public CPanel {
    Q_OBJECT
public:
    static constexpr int kDialogId = 136;

    CDiagnostics(PanelHost& host, CAddStatus& status, QWidget* parent);

    void Show(bool show) override;
    bool HandleNotification(const Notification& n) override;

private:
    // All six buttons on or off.
    void EnableButtons(bool on);
    // All on but "Stop to display Additional Status".
    void ButtonsIdle();
    void ShowStatus();
    void StopStatus();

    PanelProcedureHost procedureHost_;
    DiagnosticsProcedure diagnostics_;
    CAddStatus& status_;
    QPushButton* reset_;
    QPushButton* configFlag_;
    QPushButton* selfTest_;
    QPushButton* start_;
    QPushButton* stop_;
};

}  // namespace qt40
