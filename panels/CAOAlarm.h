#pragma once
// The "AO Alarm Property" panel: the output's saturation limits, what it does
// on a device failure, and the alarm currents. Only a QT40 can change them.

#include "panels/CPanel.h"

namespace qt40 {

class CAOAlarm : public CPanel {
    Q_OBJECT
public:
    static constexpr int kDialogId = 132;

    CAOAlarm(PanelHost& host, QWidget* parent);

    bool HandleNotification(const Notification& n) override;

protected:
    void RefreshFields() override;

private:
    QLabel* CurrentRow(int id, const QString& caption, const QString& name);
    void Send(WorkerRequest code);
    void OnSaturation();
    void OnAlarmMode();
    void OnAlarmValue();
    struct Bound {
        const char* title;
        const char* prompt;
        DeviceValue value;
    };
    // Two entries in a row, high first; false when either is cancelled.
    bool EnterPair(const Bound& highBound, const Bound& lowBound, QLabel* high, QLabel* low,
                   std::string& highText, std::string& lowText);

    QPushButton* saturationButton_;
    QPushButton* modeButton_;
    QPushButton* alarmButton_;
    QLabel* saturationHigh_;
    QLabel* saturationLow_;
    QLabel* mode_;
    QLabel* alarmHigh_;
    QLabel* alarmLow_;
};

}  // namespace qt40
