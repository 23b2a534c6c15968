#pragma once
// The "Sensor Calibration" panel: the user calibration of the chosen sensor
// and the PV reading that follows the input while the panel is open.

#include "panels/CPanel.h"
#include "panels/PanelProcedureHost.h"
#include "procedures/SensorCalibration.h"

namespace qt40 {

class CSensorCalib : public CPanel {
    Q_OBJECT
public:
    static constexpr int kDialogId = 134;

    CSensorCalib(PanelHost& host, QWidget* parent);

    void Show(bool show) override;
    bool HandleNotification(const Notification& n) override;

protected:
    void RefreshFields() override;

private:
    void RefreshReading();
    void RefreshCalibration();
    QLabel* Row(int id, const QString& caption, const QString& name, QLabel** unit);

    PanelProcedureHost procedureHost_;
    SensorCalibration calibration_;
    QPushButton* select_;
    QLabel* sensor_;
    QLabel* pv_;
    QLabel* pvUnit_;
    QLabel* zeroPoint_;
    QLabel* zeroPointUnit_;
    QLabel* zeroValue_;
    QLabel* zeroValueUnit_;
    QLabel* gain_;
};

}  // namespace qt40
