#include "panels/CSensorCalib.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "model/CglobalFile.h"
#include "model/NumberText.h"

namespace qt40 {
namespace {

QString NameOf(EnumKind kind, int code) {
    if (auto name = CglobalFile::NameOf(kind, code)) return QString::fromStdString(*name);
    return QString::number(code);
}

QString Fixed(double value, int precision) {
    return QString::fromStdString(FormatFixed(value, precision));
}

}  // namespace

CSensorCalib::CSensorCalib(PanelHost& host, QWidget* parent)
    : CPanel(host, kDialogId, kReceiverSensorCalib, parent),
      procedureHost_(host),
      calibration_(host.Worker(), host.Questions(), procedureHost_) {
    setObjectName("CSensorCalib");
    Grid()->setColumnStretch(1, 1);
    AddTitle(1831, "Sensor Calibration");
    select_ = AddButton(1832, "Select Sensor");
    select_->setObjectName("selectSensor");
    AddRow(select_);
    sensor_ = AddValue("sensor");
    AddRow(sensor_);
    const auto button = [this](int id, const char* text, const char* name) {
        QPushButton* b = AddButton(id, text);
        b->setObjectName(name);
        AddRow(b);
        return b;
    };
    QPushButton* read = button(1833, "Read Calibration Data", "readCalibration");
    QPushButton* clear = button(1834, "Clear Sensor Calibration Data", "clearCalibration");
    QPushButton* zero = button(1835, "Zero Calibration", "zeroCalibration");
    QPushButton* span = button(1836, "Span Calibration", "spanCalibration");
    pv_ = Row(1837, "PV", "pv", &pvUnit_);
    zeroPoint_ = Row(1838, "Zero Point", "zeroPoint", &zeroPointUnit_);
    zeroValue_ = Row(1839, "Zero Value", "zeroValue", &zeroValueUnit_);
    gain_ = Row(1840, "Gain", "gain", nullptr);
    AddCloseButton(1841, "Close Sensor Calibration");

    const auto sent = [this](bool ok) {
        if (!ok) host_.RequestDone();
    };
    connect(select_, &QPushButton::clicked, this, [this] { calibration_.SelectSensor(); });
    connect(read, &QPushButton::clicked, this,
            [this, sent] { sent(calibration_.ReadCalibrationData() == kCommSuccess); });
    connect(clear, &QPushButton::clicked, this, [this] { calibration_.ClearCalibration(); });
    connect(zero, &QPushButton::clicked, this, [this] {
        calibration_.Calibrate(SensorCalibration::kZero, pv_->text().toStdString());
    });
    connect(span, &QPushButton::clicked, this, [this] {
        calibration_.Calibrate(SensorCalibration::kSpan, pv_->text().toStdString());
    });
}

QLabel* CSensorCalib::Row(int id, const QString& caption, const QString& name, QLabel** unit) {
    QLabel* value = AddValue(name);
    auto* field = new QWidget(this);
    auto* line = new QHBoxLayout(field);
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(value, 1);
    if (unit) {
        *unit = new QLabel(field);
        (*unit)->setTextFormat(Qt::PlainText);
        (*unit)->setObjectName(name + "Unit");
        line->addWidget(*unit);
    }
    AddRow(AddLabel(id, caption), field);
    return value;
}

void CSensorCalib::Show(bool show) {
    if (show) {
        calibration_.Open();
    } else {
        calibration_.Close();
    }
    CPanel::Show(show);
}

void CSensorCalib::RefreshFields() {
    const DeviceRecord r = host_.Worker().RecordSnapshot();
    select_->setEnabled(SensorCalibration::SensorSelectable(r));
    sensor_->setText(NameOf(EnumKind::CalibSensor, calibration_.SensorNumber()));
    RefreshReading();
    RefreshCalibration();
}

void CSensorCalib::RefreshReading() {
    const DeviceRecord r = host_.Worker().RecordSnapshot();
    sensor_->setText(NameOf(EnumKind::CalibSensor, calibration_.SensorNumber()));
    pv_->setText(Fixed(r.pvReading, 6));
    pvUnit_->setText(NameOf(EnumKind::Unit, r.pvUnit));
}

void CSensorCalib::RefreshCalibration() {
    const DeviceRecord r = host_.Worker().RecordSnapshot();
    zeroPoint_->setText(Fixed(r.trimZeroPoint, 4));
    zeroValue_->setText(Fixed(r.trimZeroValue, 4));
    gain_->setText(Fixed(r.trimSpanGain, 4));
    const QString unit = NameOf(EnumKind::Unit, r.sensorUnit);
    zeroPointUnit_->setText(unit);
    zeroValueUnit_->setText(unit);
}

bool CSensorCalib::HandleNotification(const Notification& n) {
    const ProcedureStep step = calibration_.HandleNotification(n);
    if (step == ProcedureStep::NotMine) {
        // The idle poll brings the readings too.
        if (n.Completes(WorkerRequest::IdlePoll) && n.result == kCommSuccess && isVisible())
            RefreshReading();
        return false;
    }
    if (step == ProcedureStep::ConnectionLost) {
        if (host_.Connection().Connected()) host_.Connection().StopConnection();
        if (isVisible()) Show(false);
    } else if (n.Completes(WorkerRequest::ReadCalibrationReadings)) {
        RefreshReading();
    } else {
        RefreshCalibration();
    }
    host_.RequestDone();
    return true;
}

}  // namespace qt40
