#include "panels/CWireResistance.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "model/NumberText.h"

namespace qt40 {

CWireResistance::CWireResistance(PanelHost& host, QWidget* parent)
    : CPanel(host, kDialogId, kReceiverWireResistance, parent),
      procedureHost_(host),
      wire_(host.Worker(), host.Questions(), procedureHost_) {
    setObjectName("CWireResistance");
    AddTitle(1851, "Wire Resistance");
    value_ = AddValue("wireResistance");
    auto* field = new QWidget(this);
    auto* line = new QHBoxLayout(field);
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(value_, 1);
    auto* unit = new QLabel("Ohms", field);
    unit->setTextFormat(Qt::PlainText);
    line->addWidget(unit);
    AddRow(field);
    write_ = AddButton(1852, "Write Wire Resistance");
    write_->setObjectName("writeWire");
    AddRow(write_);
    calibrate_ = AddButton(1853, "Calibration Wire Resistance");
    calibrate_->setObjectName("calibrateWire");
    AddRow(calibrate_);
    AddCloseButton(1854, "Exit Wire Resistance");

    connect(write_, &QPushButton::clicked, this,
            [this] { wire_.Write(value_->text().trimmed().toStdString()); });
    connect(calibrate_, &QPushButton::clicked, this, [this] {
        calibrate_->setEnabled(false);
        if (wire_.Calibrate() != kCommSuccess) {
            EnableCalibration();
            host_.RequestDone();
        }
    });
}

void CWireResistance::EnableCalibration() {
    calibrate_->setEnabled(
        WireResistanceCalibration::Calibratable(host_.Worker().RecordSnapshot()));
}

void CWireResistance::RefreshFields() {
    value_->setText(QString::fromStdString(
        FormatFixed(host_.Worker().RecordSnapshot().leadWireResistance, 4, 4)));
    if (!wire_.Calibrating()) EnableCalibration();
}

bool CWireResistance::HandleNotification(const Notification& n) {
    const ProcedureStep step = wire_.HandleNotification(n);
    switch (step) {
        case ProcedureStep::NotMine:
            return false;
        case ProcedureStep::Continues:
            return true;
        case ProcedureStep::ConnectionLost:
            if (host_.Connection().Connected()) host_.Connection().StopConnection();
            if (isVisible()) Show(false);
            break;
        case ProcedureStep::Finished:
        case ProcedureStep::Refused:
            break;
    }
    RefreshFields();
    host_.RequestDone();
    return true;
}

}  // namespace qt40
