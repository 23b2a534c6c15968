#pragma once
// The "PV and CJC Sensor Information" panel: the sensor serial number, sensor
// range and drift alarm of the PV sensor, and the terminal temperature unit,
// CJC mode and constant CJC value of the cold junction. Takes the place of the
// sensor information panel while it is shown.

#include <QString>

#include "panels/CPanel.h"

namespace qt40 {

class CDetailSensorInfo : public CPanel {
    Q_OBJECT
public:
    static constexpr int kDialogId = 168;

    // Worker requests this panel submits.
    // The pause after the unit change has been read back, before the CJC
    // group shows it.
    static constexpr int kUnitSettleMs = 500;

    CDetailSensorInfo(PanelHost& host, QWidget* parent);

    bool HandleNotification(const Notification& n) override;

protected:
    // Enables the six buttons for a connected QT40, then fills both groups.
    void RefreshFields() override;

private:
    void RefreshPvGroup(const DeviceRecord& r);
    void RefreshCjcGroup(const DeviceRecord& r);
    void RefreshCjcGroup();
    QPushButton* ChangeButton(int id, const QString& text, const QString& name);
    QLabel* Row(QWidget* caption, const QString& name);
    // Submits `code`; a refused submission ends the sequence at once.
    void Send(WorkerRequest code);

    void OnSerialNo();
    void OnSensorRange();
    void OnDriftAlarm();
    void OnTermTempUnit();
    void OnCjcMode();
    void OnConstantCjc();

    bool qt40_ = false;  // connected to a QT40 at the last refresh

    QLabel* type_;
    QLabel* serialNo_;
    QLabel* sensorUpper_;
    QLabel* sensorLower_;
    QLabel* driftAlarm_;
    QLabel* termTempUnit_;
    QLabel* cjcMode_;
    QLabel* constantCjc_;

    QPushButton* serialNoButton_;
    QPushButton* sensorRangeButton_;
    QPushButton* driftAlarmButton_;
    QPushButton* termTempUnitButton_;
    QPushButton* cjcModeButton_;
    QPushButton* constantCjcButton_;

    // The numbers as last shown, without their units: the entries start from them.
    QString serialNoText_;
    QString sensorUpperText_;
    QString sensorLowerText_;
    QString driftAlarmText_;
    QString constantCjcText_;
};

}  // namespace qt40
