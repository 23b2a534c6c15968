#pragma once
// The default panel of the left column: how the transmitter measures (sensor,
// wiring, PV unit and range, limits, damping, burnout, CJC, transfer function).

#include <optional>

#include "CPanel.h"

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

protected:
    void RefreshFields() override;

private:
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
};

}  // namespace qt40
