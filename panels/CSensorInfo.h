#pragma once
// The default panel of the left column: how the transmitter measures (sensor,
// wiring, PV unit and range, limits, damping, burnout, CJC, transfer function).

#include <optional>

#include "panels/CPanel.h"
#include "model/CglobalFile.h"

namespace qt40 {

class CSensorInfo : public CPanel {
    Q_OBJECT
public:
    static constexpr int kDialogId = 141;

    CSensorInfo(PanelHost& host, QWidget* parent);

    // Shown: refreshes (unless already up to date), brings up the monitor and
    // the function panel and becomes the receiver. Hidden: the function
    // buttons go off while another panel holds the column.
    void Show(bool show) override;
    // The PV unit name last shown, for the monitor and the trend caption.
    QString PvUnitName() const { return pvUnitName_; }

    bool HandleNotification(const Notification& n) override;

protected:
    void RefreshFields() override;

private:
    void OnSensorType();
    void OnPvUnit();
    void OnPvRange();
    void OnDamping();
    void OnBurnout();
    void OnCjcMode();
    void OnTransferFunction();
    // A selection from an enumeration, preselected by code; the chosen code.
    std::optional<std::int16_t> Choose(const char* titleKey, EnumKind kind, int current);
    void EnableButtons();

    QPushButton* AddChangeButton(int id, const QString& text, const QString& name);
    QLabel* Row(QWidget* caption, const QString& name);

    std::optional<bool> shownConnected_;
    QString pvUnitName_;
    QLabel* sensorType_;
    QLabel* measurementType_;
    QLabel* wires_;
    QLabel* pvUnit_;
    QLabel* upperRange_;
    QLabel* lowerRange_;
    QLabel* upperLimit_;
    QLabel* lowerLimit_;
    QLabel* minimumSpan_;
    QLabel* damping_;
    QLabel* burnout_;
    QLabel* cjcMode_;
    QLabel* transfer_;
    std::vector<QPushButton*> buttons_;
    // A constant CJC value waits for the mode to be written after it.
    std::int16_t pendingCjcMode_ = 0;
};

}  // namespace qt40
