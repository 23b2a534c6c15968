#include "panels/CDetailSensorInfo.h"

#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "hart/DeviceNameTable.h"
#include "model/CglobalFile.h"
#include "model/ConfigurationRules.h"
#include "model/NumberText.h"
#include "widgets/CLblColor.h"

namespace qt40 {
namespace {

// A code the tables do not know is shown as its number.
std::string NameOf(EnumKind kind, int code) {
    if (auto name = CglobalFile::NameOf(kind, code)) return *name;
    return std::to_string(code);
}

QString Fixed2(double value) {
    return QString::fromStdString(FormatFixed(value, 2, 4));
}

Selection SelectionOf(EnumKind kind, const std::string& titleKey, int current) {
    const EnumPair& pair = CglobalFile::Pair(kind);
    Selection selection;
    selection.titleKey = titleKey;
    selection.names = pair.names;
    selection.codes = pair.codes;
    selection.preselectCode = current;
    return selection;
}

}  // namespace

CDetailSensorInfo::CDetailSensorInfo(PanelHost& host, QWidget* parent)
    : CPanel(host, kDialogId, kReceiverDetailSensorInfo, parent) {
    setObjectName("CDetailSensorInfo");
    // The longest panel title there is: it wraps rather than being cut.
    AddTitle(1701, "PV and CJC Sensor Information")->setWordWrap(true);

    QLabel* pvGroup = AddLabel(1702, "PV Sensor");
    QFont bold = pvGroup->font();
    bold.setBold(true);
    pvGroup->setFont(bold);
    AddRow(pvGroup);
    type_ = Row(AddLabel(1703, "TYPE"), "sensorType");
    serialNoButton_ = ChangeButton(1704, "Serial No.", "serialNoButton");
    serialNo_ = Row(serialNoButton_, "serialNo");
    sensorRangeButton_ = ChangeButton(1705, "Sensor Range", "sensorRangeButton");
    AddRow(sensorRangeButton_);
    sensorUpper_ = Row(AddLabel(1706, "Upper"), "sensorUpperRange");
    sensorLower_ = Row(AddLabel(1707, "Lower"), "sensorLowerRange");
    driftAlarmButton_ = ChangeButton(1708, "Drift Alarm", "driftAlarmButton");
    driftAlarm_ = Row(driftAlarmButton_, "driftAlarm");

    QLabel* cjcGroup = AddLabel(1709, "CJC Sensor");
    cjcGroup->setFont(bold);
    AddRow(cjcGroup);
    termTempUnitButton_ = ChangeButton(1710, "Term Temp Unit", "termTempUnitButton");
    termTempUnit_ = Row(termTempUnitButton_, "termTempUnit");
    cjcModeButton_ = ChangeButton(1711, "CJC Mode", "cjcModeButton");
    cjcMode_ = Row(cjcModeButton_, "cjcMode");
    constantCjcButton_ = ChangeButton(1712, "Const. CJC", "constantCjcButton");
    constantCjc_ = Row(constantCjcButton_, "constantCjc");
    AddCloseButton(1713, "Close PV and CJC Sensor Info");

    connect(serialNoButton_, &QPushButton::clicked, this, &CDetailSensorInfo::OnSerialNo);
    connect(sensorRangeButton_, &QPushButton::clicked, this, &CDetailSensorInfo::OnSensorRange);
    connect(driftAlarmButton_, &QPushButton::clicked, this, &CDetailSensorInfo::OnDriftAlarm);
    connect(termTempUnitButton_, &QPushButton::clicked, this, &CDetailSensorInfo::OnTermTempUnit);
    connect(cjcModeButton_, &QPushButton::clicked, this, &CDetailSensorInfo::OnCjcMode);
    connect(constantCjcButton_, &QPushButton::clicked, this, &CDetailSensorInfo::OnConstantCjc);
}

QPushButton* CDetailSensorInfo::ChangeButton(int id, const QString& text, const QString& name) {
    QPushButton* button = AddButton(id, text);
    button->setObjectName(name);
    return button;
}

QLabel* CDetailSensorInfo::Row(QWidget* caption, const QString& name) {
    QLabel* value = AddValue(name);
    AddRow(caption, value);
    return value;
}

void CDetailSensorInfo::RefreshFields() {
    const DeviceRecord r = host_.Worker().RecordSnapshot();
    qt40_ = host_.Connection().Connected() && r.deviceTypeName == kQT40ModelName;
    serialNoButton_->setEnabled(qt40_);
    sensorRangeButton_->setEnabled(qt40_);
    driftAlarmButton_->setEnabled(qt40_);
    RefreshPvGroup(r);
    RefreshCjcGroup(r);
}

void CDetailSensorInfo::RefreshPvGroup(const DeviceRecord& r) {
    const QString unit = QString::fromStdString(NameOf(EnumKind::Unit, r.pvUnit));
    type_->setText(QString::fromStdString(NameOf(EnumKind::SensorType, r.sensorType)));
    serialNoText_ = QString::number(r.sensorSerialNo);
    serialNo_->setText(serialNoText_);
    sensorUpperText_ = Fixed2(r.sensorUpperRange);
    sensorLowerText_ = Fixed2(r.sensorLowerRange);
    sensorUpper_->setText(sensorUpperText_ + " " + unit);
    sensorLower_->setText(sensorLowerText_ + " " + unit);
    driftAlarmText_ = Fixed2(r.driftAlarm);
    driftAlarm_->setText(driftAlarmText_ + " " + unit);
}

void CDetailSensorInfo::RefreshCjcGroup(const DeviceRecord& r) {
    const QString unit = QString::fromStdString(NameOf(EnumKind::TermTempUnit, r.termTempUnit));
    termTempUnit_->setText(unit);
    cjcMode_->setText(QString::fromStdString(NameOf(EnumKind::CjcMode, r.cjcMode)));
    constantCjcText_ = Fixed2(r.constantCjcValue);
    constantCjc_->setText(constantCjcText_ + " " + unit);
    // A millivolt input has no cold junction to compensate; other models take
    // no CJC writes from this panel either.
    const bool cjc = qt40_ && !IsMillivoltSensor(r.sensorType);
    termTempUnitButton_->setEnabled(cjc);
    cjcModeButton_->setEnabled(cjc);
    constantCjcButton_->setEnabled(cjc);
}

void CDetailSensorInfo::RefreshCjcGroup() {
    RefreshCjcGroup(host_.Worker().RecordSnapshot());
}

void CDetailSensorInfo::Send(WorkerRequest code) {
    if (host_.Submit(code, true) != kCommSuccess) host_.RequestDone();
}

void CDetailSensorInfo::OnSerialNo() {
    const auto serial = EnterU24(DeviceValue::SensorSerialNo, "Set_SerialNo_Value_Title",
                                 "Set_SerialNo_val", serialNoText_);
    if (!serial) return;
    host_.Worker().WithSession([&](DeviceState& s) { s.writes.sensorSerialNo = *serial; });
    Send(WorkerRequest::WriteSerialNo);
}

void CDetailSensorInfo::OnSensorRange() {
    const DeviceRecord r = host_.Worker().RecordSnapshot();
    // Both ends are staged together once accepted, so a cancelled second
    // entry leaves no half-new range behind.
    const auto range =
        EnterRange(SensorRangeLimits(r), NameOf(EnumKind::Unit, r.pvUnit), r.minimumSpan,
                   {"Set_Sensor_Upper_Range_Title", "Set_Sensor_Upper_Range",
                    "Set_Sensor_Lower_Range_Title", "Set_Sensor_Lower_Range"},
                   sensorUpperText_, sensorLowerText_);
    if (!range) return;
    host_.Worker().WithSession([&](DeviceState& s) {
        s.writes.sensorUpperRangeText = range->upperText;
        s.writes.sensorLowerRangeText = range->lowerText;
        s.writes.unitCode = s.record.pvUnit;
    });
    Send(WorkerRequest::WriteSensorRange);
}

void CDetailSensorInfo::OnDriftAlarm() {
    const DeviceRecord r = host_.Worker().RecordSnapshot();
    const std::string unit = NameOf(EnumKind::Unit, r.pvUnit);
    NumberEntry entry;
    entry.titleKey = "Set_DriftAlarm_Title";
    entry.promptKey = "Set_DriftAlarm_val";
    // The limits the prompt names: a drift alarm is a deviation, never
    // negative, whatever the lower end of the PV range, and no larger than
    // the PV range's upper end or the value's own limit.
    const ValueRule& rule = RuleOf(DeviceValue::DriftAlarm);
    const double maximum = std::min(rule.maximum, r.upperRange);
    entry.promptArgs = {FormatFixed(rule.minimum, 2, 4), FormatFixed(maximum, 2, 4), unit};
    entry.initialText = driftAlarmText_.toStdString();
    entry.minimum = rule.minimum;
    entry.maximum = maximum;
    entry.rangeMessage = true;
    entry.zeroAllowed = rule.zeroAllowed;
    entry.staging = NumberEntry::Staging::FormattedText;
    const auto result = host_.Questions().EnterNumber(entry);
    if (!result) return;
    const std::int16_t pvUnit = r.pvUnit;
    host_.Worker().WithSession([&](DeviceState& s) {
        s.writes.unitCode = pvUnit;
        s.writes.driftAlarmText = result->formattedText;
    });
    Send(WorkerRequest::WriteDriftAlarm);
}

void CDetailSensorInfo::OnTermTempUnit() {
    const DeviceRecord r = host_.Worker().RecordSnapshot();
    const auto chosen = host_.Questions().Select(
        SelectionOf(EnumKind::TermTempUnit, "Select_CJC_Unit", r.termTempUnit));
    if (!chosen) return;
    const std::int16_t code = chosen->code;
    host_.Worker().WithSession([code](DeviceState& s) { s.writes.termTempUnit = code; });
    Send(WorkerRequest::WriteTermTempUnit);
}

void CDetailSensorInfo::OnCjcMode() {
    const DeviceRecord r = host_.Worker().RecordSnapshot();
    const auto chosen =
        host_.Questions().Select(SelectionOf(EnumKind::CjcMode, "Set_CJCMode", r.cjcMode));
    if (!chosen) return;
    const std::int16_t code = chosen->code;
    host_.Worker().WithSession([code](DeviceState& s) { s.writes.cjcMode = code; });
    Send(WorkerRequest::WriteCjcMode);
}

void CDetailSensorInfo::OnConstantCjc() {
    const DeviceRecord r = host_.Worker().RecordSnapshot();
    const CjcLimits limits = ConstantCjcLimits(r.termTempUnit);
    NumberEntry entry;
    entry.titleKey = "Set_ConstCJC_Title";
    entry.promptKey = "Set_ConstCJC_val";
    entry.promptArgs = {FormatFixed(limits.minimum, 2, 4), FormatFixed(limits.maximum, 2, 4),
                        NameOf(EnumKind::TermTempUnit, r.termTempUnit)};
    entry.initialText = FormatFixed(r.constantCjcValue, 2, 4);
    entry.minimum = limits.minimum;
    entry.maximum = limits.maximum;
    entry.rangeMessage = true;
    entry.zeroAllowed = true;
    entry.staging = NumberEntry::Staging::FormattedText;
    const auto result = host_.Questions().EnterNumber(entry);
    if (!result) return;
    const std::int16_t unit = r.termTempUnit;
    host_.Worker().WithSession([&](DeviceState& s) {
        s.writes.termTempUnit = unit;
        s.writes.constantCjcText = result->formattedText;
    });
    Send(WorkerRequest::WriteConstantCjc);
}

bool CDetailSensorInfo::HandleNotification(const Notification& n) {
    if (n.kind != NotificationKind::Completion) return false;
    switch (n.request) {
        case WorkerRequest::WriteDriftAlarm:
        case WorkerRequest::WriteCjcMode:
        case WorkerRequest::WriteTermTempUnit:
        case WorkerRequest::ReadConstantCjc:
        case WorkerRequest::WriteConstantCjc:
        case WorkerRequest::WriteSensorRange:
        case WorkerRequest::WriteSerialNo:
            break;
        default:
            return false;
    }
    if (n.result == kCommExchangeFailed) {
        // The connection was given up: the default panel takes the column back.
        if (host_.Connection().Connected()) host_.Connection().StopConnection();
        Show(false);
        host_.RequestDone();
        return true;
    }
    if (n.result != kCommSuccess) {
        host_.RequestDone();  // the device refused; the sequence ends here
        return true;
    }
    switch (n.request) {
        case WorkerRequest::WriteTermTempUnit:
            // The constant CJC value is kept in the unit; read it back converted.
            Send(WorkerRequest::ReadConstantCjc);
            break;
        case WorkerRequest::ReadConstantCjc:
            QTimer::singleShot(kUnitSettleMs, this, [this] {
                RefreshCjcGroup();
                host_.RefreshLiveDisplay();
                host_.RequestDone();
            });
            break;
        case WorkerRequest::WriteCjcMode:
        case WorkerRequest::WriteConstantCjc:
            RefreshCjcGroup();
            host_.RequestDone();
            break;
        default:
            RefreshPvGroup(host_.Worker().RecordSnapshot());
            host_.RequestDone();
            break;
    }
    return true;
}

}  // namespace qt40
