#pragma once
// The "Wire Resistance" panel: the lead-wire resistance, typed or calibrated
// against a known resistor.

#include "panels/CPanel.h"
#include "panels/PanelProcedureHost.h"
#include "procedures/WireResistanceCalibration.h"

namespace qt40 {

class CWireResistance : public CPanel {
    Q_OBJECT
public:
    static constexpr int kDialogId = 135;

    CWireResistance(PanelHost& host, QWidget* parent);

    bool HandleNotification(const Notification& n) override;

protected:
    void RefreshFields() override;

private:
    void EnableCalibration();

    PanelProcedureHost procedureHost_;
    WireResistanceCalibration wire_;
    QLabel* value_;
    QPushButton* write_;
    QPushButton* calibrate_;
};

}  // namespace qt40
