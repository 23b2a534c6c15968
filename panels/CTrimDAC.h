#pragma once
// The "Trim DAC" panel: the buttons of the output trim; the procedure keeps
// the trim point.

#include <memory>

#include "panels/CPanel.h"
#include "panels/PanelProcedureHost.h"
#include "procedures/DacTrimProcedure.h"

namespace qt40 {

class CTrimDAC : public CPanel {
    Q_OBJECT
public:
    static constexpr int kDialogId = 133;

    CTrimDAC(PanelHost& host, QWidget* parent);

    // Hiding ends the trim with level 0, however the panel is hidden.
    void Show(bool show) override;
    bool HandleNotification(const Notification& n) override;
    const DacTrimProcedure& Procedure() const { return trim_; }

private:
    void OnClose();
    // "Info_Trim_Accepted" with the value the device took.
    void ConfirmTrim();

    PanelProcedureHost procedureHost_;
    DacTrimProcedure trim_;
    bool closing_ = false;
};

}  // namespace qt40
