#include "CSensorInfo.h"

#include <QLabel>
#include <QPushButton>

#include "model/CglobalFile.h"
#include "model/NumberText.h"

namespace qt40 {
namespace {

// A code the tables do not know is shown as its number.
QString NameOf(EnumKind kind, int code) {
    if (auto name = CglobalFile::NameOf(kind, code)) return QString::fromStdString(*name);
    return QString::number(code);
}

QString Fixed(double value, int precision, int width = 0) {
    return QString::fromStdString(FormatFixed(value, precision, width));
}

}  // namespace

CSensorInfo::CSensorInfo(PanelHost& host, QWidget* parent)
    : CPanel(host, kDialogId, kReceiverSensorInfo, parent) {
    setObjectName("CSensorInfo");
    AddTitle(1501, "Sensor Information");
    sensorType_ = Row(AddChangeButton(1502, "Sensor Type", "sensorTypeButton"), "sensorType");
    measurementType_ = Row(AddLabel(1503, "Meas. Type"), "measurementType");
    wires_ = Row(AddLabel(1504, "Sensor Wire"), "wires");
    pvUnit_ = Row(AddChangeButton(1505, "PV Unit", "pvUnitButton"), "pvUnit");
    AddRow(AddChangeButton(1506, "PV Range", "pvRangeButton"));
    upperRange_ = Row(AddLabel(1507, "Upper"), "upperRange");
    lowerRange_ = Row(AddLabel(1508, "Lower"), "lowerRange");
    upperLimit_ = Row(AddLabel(1509, "PV Upper Limit"), "upperLimit");
    lowerLimit_ = Row(AddLabel(1510, "PV Lower Limit"), "lowerLimit");
    minimumSpan_ = Row(AddLabel(1511, "PV Minimum Span"), "minimumSpan");
    damping_ = Row(AddChangeButton(1512, "PV Damping", "dampingButton"), "damping");
    burnout_ = Row(AddChangeButton(1513, "Burnout Detection", "burnoutButton"), "burnout");
    cjcMode_ = Row(AddChangeButton(1514, "CJC Mode", "cjcModeButton"), "cjcMode");
    transfer_ = Row(AddChangeButton(1515, "Transfer Function", "transferButton"), "transfer");
    AddStretch();
}

QPushButton* CSensorInfo::AddChangeButton(int id, const QString& text, const QString& name) {
    QPushButton* button = AddButton(id, text);
    button->setObjectName(name);
    buttons_.push_back(button);
    return button;
}

QLabel* CSensorInfo::Row(QWidget* caption, const QString& name) {
    QLabel* value = AddValue(name);
    AddRow(caption, value);
    return value;
}

void CSensorInfo::Show(bool show) {
    if (show) {
        const bool connected = host_.Connection().Connected();
        if (isVisible() && shownConnected_ == connected) return;
        shownConnected_ = connected;
        host_.Texts().Relabel(DialogId(), this);
        RefreshFields();
        host_.ShowMonitor(true);
        host_.Worker().SetReceiver(Receiver());
    } else {
        host_.DisableFunctionKeys();
    }
    setVisible(show);
}

void CSensorInfo::RefreshFields() {
    const DeviceRecord r = host_.Worker().RecordSnapshot();
    sensorType_->setText(NameOf(EnumKind::SensorType, r.sensorType));
    measurementType_->setText(NameOf(EnumKind::MeasurementType, r.measurementType));
    wires_->setText(NameOf(EnumKind::Wires, r.sensorWires));
    pvUnitName_ = NameOf(EnumKind::Unit, r.pvUnit);
    pvUnit_->setText(pvUnitName_);
    upperRange_->setText(Fixed(r.upperRange, 3, 4));
    lowerRange_->setText(Fixed(r.lowerRange, 3, 4));
    upperLimit_->setText(Fixed(r.upperSensorLimit, 3, 4));
    lowerLimit_->setText(Fixed(r.lowerSensorLimit, 3, 4));
    minimumSpan_->setText(Fixed(r.minimumSpan, 2, 2));
    damping_->setText(Fixed(r.damping, 3, 4));
    burnout_->setText(NameOf(EnumKind::Burnout, r.burnoutDetection));
    cjcMode_->setText(NameOf(EnumKind::CjcMode, r.cjcMode));
    transfer_->setText(NameOf(EnumKind::TransferFunction, r.transferFunction));
    // The changes themselves come with the sensor configuration work; until
    // then the buttons stay off rather than promise what they cannot do.
    for (QPushButton* button : buttons_) button->setEnabled(false);
}

}  // namespace qt40
