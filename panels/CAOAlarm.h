#pragma once
// The "AO Alarm Property" panel: the output's saturation limits, what it does
// on a device failure, and the alarm currents. Only a QT40 can change them.

#include "panels/CPanel.h"

namespace qt40 {

class CAOAlarm : public CPanel {
    Q_OBJECT
public:
    static constexpr int kDialogId = 132;
    enum Request : int {
        kWriteAlarmMode = 429,    // 142
        kWriteSaturation = 430,   // 138
        kWriteAlarmValues = 431,  // 140
    };

    CAOAlarm(PanelHost& host, QWidget* parent);

    bool HandleNotification(const Notification& n) override;

protected:
    void RefreshFields() override;

private:
    QLabel* CurrentRow(int id, const QString& caption, const QString& name);
    void Send(int code);
    void OnSaturation();
    void OnAlarmMode();
    void OnAlarmValue();
    struct Bound {
        const char* title;
        const char* prompt;
        const char* minText;
        const char* maxText;
        double minimum;
        double maximum;
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
