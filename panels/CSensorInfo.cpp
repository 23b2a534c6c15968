#include "panels/CSensorInfo.h"

#include <QLabel>
#include <QPushButton>

#include <QEventLoop>
#include <QTimer>

#include "model/CglobalFile.h"
#include "model/ConfigurationRules.h"
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

constexpr std::int16_t kCustomTc = 146;
constexpr std::int16_t kCustomRtd = 93;
constexpr std::int16_t kConstantCjc = 3;

// The half second the device takes to settle after a unit change, with the
// window still painting.
void SettleAfterUnitChange() {
    QEventLoop loop;
    QTimer::singleShot(500, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
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

    const auto on = [this](const char* name, void (CSensorInfo::*action)()) {
        connect(findChild<QPushButton*>(name), &QPushButton::clicked, this, action);
    };
    on("sensorTypeButton", &CSensorInfo::OnSensorType);
    on("pvUnitButton", &CSensorInfo::OnPvUnit);
    on("pvRangeButton", &CSensorInfo::OnPvRange);
    on("dampingButton", &CSensorInfo::OnDamping);
    on("burnoutButton", &CSensorInfo::OnBurnout);
    on("cjcModeButton", &CSensorInfo::OnCjcMode);
    on("transferButton", &CSensorInfo::OnTransferFunction);
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
    EnableButtons();
}

void CSensorInfo::EnableButtons() {
    const bool connected = host_.Connection().Connected();
    for (QPushButton* button : buttons_) button->setEnabled(connected);
}

std::optional<std::int16_t> CSensorInfo::Choose(const char* titleKey, EnumKind kind, int current) {
    const EnumPair& pair = CglobalFile::Pair(kind);
    Selection selection;
    selection.titleKey = titleKey;
    selection.names = pair.names;
    selection.codes = pair.codes;
    selection.preselectCode = current;
    const auto chosen = host_.Questions().Select(selection);
    if (!chosen) return std::nullopt;
    return chosen->code;
}

void CSensorInfo::OnSensorType() {
    const DeviceRecord r = host_.Worker().RecordSnapshot();
    const auto type = Choose("Select_Sensor_Type", EnumKind::SensorType, r.sensorType);
    if (!type) return;
    const int position =
        CglobalFile::FindByCode(CglobalFile::Pair(EnumKind::SensorType).codes, *type);
    std::int16_t measurement = 0;
    std::int16_t wires = 2;
    if (position > 13) {  // resistance and RTDs take a wire count
        const auto chosen = Choose("Select_Wire_Type", EnumKind::Wires, r.sensorWires);
        if (!chosen) return;
        wires = *chosen;
    } else {
        const auto chosen =
            Choose("Select_Measurement_Type", EnumKind::MeasurementType, r.measurementType);
        if (!chosen) return;
        measurement = *chosen;
    }
    host_.Worker().WithSession([&](DeviceState& s) {
        s.writes.sensorType = *type;
        s.writes.measurementType = measurement;
        s.writes.sensorWires = wires;
    });
    // A custom sensor needs its table on the device; read its header first.
    if (*type == kCustomRtd) {
        host_.Submit(WorkerRequest::ReadCustomRtdHeader, false);
    } else if (*type == kCustomTc) {
        host_.Submit(WorkerRequest::ReadCustomTcHeader, false);
    } else {
        host_.Submit(WorkerRequest::WriteSensorConfig, false);
    }
}

void CSensorInfo::OnPvUnit() {
    const DeviceRecord r = host_.Worker().RecordSnapshot();
    const int position = CglobalFile::FindByName(CglobalFile::Pair(EnumKind::SensorType).names,
                                                 sensorType_->text().toStdString());
    const auto unit = Choose("Select_PV_Unit", CglobalFile::PvUnitChoices(position), r.pvUnit);
    if (!unit) return;
    host_.Worker().WithSession([&](DeviceState& s) { s.writes.unitCode = *unit; });
    host_.Submit(WorkerRequest::WritePvUnit, true);
}

void CSensorInfo::OnPvRange() {
    const DeviceRecord r = host_.Worker().RecordSnapshot();
    const auto range = EnterRange(
        PvRangeLimits(r), pvUnitName_.toStdString(), r.minimumSpan,
        {"Set_Upper_Range_Title", "Set_Upper_Range", "Set_Lower_Range_Title", "Set_Lower_Range"},
        upperRange_->text(), lowerRange_->text());
    if (!range) return;
    host_.Worker().WithSession([&](DeviceState& s) {
        s.writes.upperRangeText = range->upperText;
        s.writes.lowerRangeText = range->lowerText;
        s.writes.unitCode = s.record.pvUnit;
    });
    host_.Submit(WorkerRequest::WritePvRange, true);
}

void CSensorInfo::OnDamping() {
    NumberEntry entry;
    entry.titleKey = "Set_Damping_Value_Title";
    entry.promptKey = "Set_Damping_val";
    entry.initialText = damping_->text().trimmed().toStdString();
    const ValueRule& rule = RuleOf(DeviceValue::Damping);
    entry.minimum = rule.minimum;
    entry.maximum = rule.maximum;
    entry.rangeMessage = true;
    entry.zeroAllowed = rule.zeroAllowed;
    entry.staging = NumberEntry::Staging::FormattedText;
    const auto damping = host_.Questions().EnterNumber(entry);
    if (!damping) return;
    host_.Worker().WithSession(
        [&](DeviceState& s) { s.writes.dampingText = damping->formattedText; });
    host_.Submit(WorkerRequest::WriteDamping, true);
}

void CSensorInfo::OnBurnout() {
    const DeviceRecord r = host_.Worker().RecordSnapshot();
    const auto burnout = Choose("Set_BurnOut", EnumKind::Burnout, r.burnoutDetection);
    if (!burnout) return;
    host_.Worker().WithSession([&](DeviceState& s) { s.writes.burnoutDetection = *burnout; });
    host_.Submit(WorkerRequest::WriteBurnout, true);
}

void CSensorInfo::OnCjcMode() {
    const DeviceRecord r = host_.Worker().RecordSnapshot();
    Selection selection;
    selection.titleKey = "Select_CJCModeSW";
    selection.names = CglobalFile::Pair(EnumKind::CjcMode).names;
    selection.codes = CglobalFile::Pair(EnumKind::CjcMode).codes;
    selection.preselectName = cjcMode_->text().toStdString();
    const auto chosen = host_.Questions().Select(selection);
    if (!chosen) return;
    pendingCjcMode_ = chosen->code;
    if (chosen->code == kConstantCjc) {
        const CjcLimits limits = ConstantCjcLimits(r.termTempUnit);
        const auto unitName = CglobalFile::NameOf(EnumKind::TermTempUnit, r.termTempUnit);
        NumberEntry entry;
        entry.titleKey = "Set_ConstCJC_Title";
        entry.promptKey = "Set_ConstCJC_val";
        entry.promptArgs = {FormatFixed(limits.minimum, 2, 4), FormatFixed(limits.maximum, 2, 4),
                            unitName.value_or(std::to_string(r.termTempUnit))};
        entry.initialText = FormatFixed(r.constantCjcValue, 2, 4);
        entry.minimum = limits.minimum;
        entry.maximum = limits.maximum;
        entry.rangeMessage = true;
        entry.zeroAllowed = true;
        entry.staging = NumberEntry::Staging::FormattedText;
        // Without a value only the mode is written: an earlier value staged
        // for another purpose is never sent in its place.
        if (const auto value = host_.Questions().EnterNumber(entry)) {
            host_.Worker().WithSession([&](DeviceState& s) {
                s.writes.termTempUnit = s.record.termTempUnit;
                s.writes.constantCjcText = value->formattedText;
            });
            host_.Submit(WorkerRequest::WriteConstantCjc, true);
            return;
        }
    }
    host_.Worker().WithSession([&](DeviceState& s) { s.writes.cjcMode = pendingCjcMode_; });
    host_.Submit(WorkerRequest::WriteCjcMode, true);
}

void CSensorInfo::OnTransferFunction() {
    const DeviceRecord r = host_.Worker().RecordSnapshot();
    const auto transfer = Choose("Set_Xfer", EnumKind::TransferFunction, r.transferFunction);
    if (!transfer) return;
    host_.Worker().WithSession([&](DeviceState& s) { s.writes.transferFunction = *transfer; });
    host_.Submit(WorkerRequest::WriteTransfer, true);
}

bool CSensorInfo::HandleNotification(const Notification& n) {
    if (n.kind != NotificationKind::Completion) return false;
    switch (n.request) {
        case WorkerRequest::WriteSensorConfig:
        case WorkerRequest::ReadAfterSensorType:
        case WorkerRequest::WritePvUnit:
        case WorkerRequest::ReadAfterPvUnit:
        case WorkerRequest::WritePvRange:
        case WorkerRequest::ReadSensorRange:
        case WorkerRequest::WriteDamping:
        case WorkerRequest::WriteBurnout:
        case WorkerRequest::WriteCjcMode:
        case WorkerRequest::WriteTransfer:
        case WorkerRequest::WriteConstantCjc:
        case WorkerRequest::ReadCustomTcHeader:
        case WorkerRequest::ReadCustomRtdHeader:
            break;
        default:
            return false;
    }
    if (n.result == kCommExchangeFailed) {
        // The connection is gone: old values stay, the buttons go off.
        RefreshFields();
        host_.RequestDone();
        return true;
    }
    if (n.result != kCommSuccess) {
        // A refused answer stops the sequence; what was read before it is shown.
        RefreshFields();
        host_.RequestDone();
        return true;
    }
    switch (n.request) {
        case WorkerRequest::ReadCustomTcHeader:
        case WorkerRequest::ReadCustomRtdHeader: {
            const DeviceRecord r = host_.Worker().RecordSnapshot();
            if (r.customTable.status != 0) {
                host_.RequestDone();
                host_.Questions().Message(
                    "Err_Table_Not_Defined",
                    {std::string(n.Completes(WorkerRequest::ReadCustomTcHeader) ? "TC" : "RTD")},
                    BoxType::OkWarning);
                host_.Worker().SetPolling(true);
                return true;
            }
            host_.Submit(WorkerRequest::WriteSensorConfig, false);
            return true;
        }
        case WorkerRequest::WriteSensorConfig:
            host_.Submit(WorkerRequest::ReadAfterSensorType, true);
            return true;
        case WorkerRequest::WritePvUnit:
            host_.Submit(WorkerRequest::ReadAfterPvUnit, true);
            return true;
        case WorkerRequest::ReadAfterPvUnit:
            SettleAfterUnitChange();
            break;
        case WorkerRequest::WritePvRange:
            host_.Submit(WorkerRequest::ReadSensorRange, true);
            return true;
        case WorkerRequest::WriteConstantCjc:
            host_.Worker().WithSession([&](DeviceState& s) { s.writes.cjcMode = pendingCjcMode_; });
            host_.Submit(WorkerRequest::WriteCjcMode, true);
            return true;
        default:
            break;
    }
    RefreshFields();
    host_.RefreshLiveDisplay();
    host_.RequestDone();
    return true;
}

}  // namespace qt40
