#include "panels/CAOAlarm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "hart/DeviceNameTable.h"
#include "model/CglobalFile.h"
#include "model/ConfigurationRules.h"
#include "model/NumberText.h"

namespace qt40 {
namespace {

QString Current(double value) {
    return QString::fromStdString(FormatFixed(value, 2, 4));
}

}  // namespace

CAOAlarm::CAOAlarm(PanelHost& host, QWidget* parent)
    : CPanel(host, kDialogId, kReceiverAOAlarm, parent) {
    setObjectName("CAOAlarm");
    Grid()->setColumnStretch(1, 1);
    AddTitle(1811, "AO Alarm Property");
    saturationButton_ = AddButton(1812, "AO Saturation Value");
    saturationButton_->setObjectName("saturationButton");
    AddRow(saturationButton_);
    saturationHigh_ = CurrentRow(1813, "High", "saturationHigh");
    saturationLow_ = CurrentRow(1814, "Low", "saturationLow");
    modeButton_ = AddButton(1815, "AO Alarm Mode");
    modeButton_->setObjectName("modeButton");
    mode_ = AddValue("mode");
    AddRow(modeButton_, mode_);
    alarmButton_ = AddButton(1816, "AO Alarm Value");
    alarmButton_->setObjectName("alarmButton");
    AddRow(alarmButton_);
    alarmHigh_ = CurrentRow(1817, "High", "alarmHigh");
    alarmLow_ = CurrentRow(1818, "Low", "alarmLow");
    AddCloseButton(1819, "Close AO Alarm Property");
    connect(saturationButton_, &QPushButton::clicked, this, &CAOAlarm::OnSaturation);
    connect(modeButton_, &QPushButton::clicked, this, &CAOAlarm::OnAlarmMode);
    connect(alarmButton_, &QPushButton::clicked, this, &CAOAlarm::OnAlarmValue);
}

QLabel* CAOAlarm::CurrentRow(int id, const QString& caption, const QString& name) {
    QLabel* value = AddValue(name);
    auto* field = new QWidget(this);
    auto* line = new QHBoxLayout(field);
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(value, 1);
    auto* unit = new QLabel("mA", field);
    unit->setTextFormat(Qt::PlainText);
    line->addWidget(unit);
    AddRow(AddLabel(id, caption), field);
    return value;
}

void CAOAlarm::RefreshFields() {
    const DeviceRecord r = host_.Worker().RecordSnapshot();
    saturationHigh_->setText(Current(r.aoSaturationHigh));
    saturationLow_->setText(Current(r.aoSaturationLow));
    alarmHigh_->setText(Current(r.aoAlarmHigh));
    alarmLow_->setText(Current(r.aoAlarmLow));
    const auto name = CglobalFile::NameOf(EnumKind::AoAlarmMode, r.aoAlarmMode);
    mode_->setText(name ? QString::fromStdString(*name) : QString::number(r.aoAlarmMode));
    const bool qt40 = r.deviceTypeName == kQT40ModelName;
    for (QPushButton* b : {saturationButton_, modeButton_, alarmButton_}) b->setEnabled(qt40);
}

void CAOAlarm::Send(WorkerRequest code) {
    if (host_.Submit(code, true) != kCommSuccess) host_.RequestDone();
}

bool CAOAlarm::EnterPair(const Bound& highBound, const Bound& lowBound, QLabel* high, QLabel* low,
                         std::string& highText, std::string& lowText) {
    const auto enter = [&](const Bound& bound, QLabel* shown) {
        NumberEntry entry;
        entry.staging = NumberEntry::Staging::EnteredText;
        entry.titleKey = bound.title;
        entry.promptKey = bound.prompt;
        const ValueRule& rule = RuleOf(bound.value);
        entry.promptArgs = {rule.MinimumText(), rule.MaximumText(), std::string("mA")};
        entry.initialText = shown->text().trimmed().toStdString();
        entry.minimum = rule.minimum;
        entry.maximum = rule.maximum;
        entry.zeroAllowed = rule.zeroAllowed;
        return host_.Questions().EnterNumber(entry);
    };
    const auto upper = enter(highBound, high);
    if (!upper) return false;
    const auto lower = enter(lowBound, low);
    if (!lower) return false;
    highText = upper->enteredText;
    lowText = lower->enteredText;
    return true;
}

void CAOAlarm::OnSaturation() {
    std::string high, low;
    if (!EnterPair(
            {"Set_Saturation_High_Title", "Set_Saturation_High", DeviceValue::AoSaturationHigh},
            {"Set_Saturation_Low_Title", "Set_Saturation_Low", DeviceValue::AoSaturationLow},
            saturationHigh_, saturationLow_, high, low)) {
        return;
    }
    host_.Worker().WithSession([&](DeviceState& s) {
        s.writes.aoSaturationHighText = high;
        s.writes.aoSaturationLowText = low;
    });
    Send(WorkerRequest::WriteSaturation);
}

void CAOAlarm::OnAlarmValue() {
    std::string high, low;
    if (!EnterPair({"Set_AO_Alarm_High_Title", "Set_AO_Alarm_High", DeviceValue::AoAlarmHigh},
                   {"Set_AO_Alarm_Low_Title", "Set_AO_Alarm_Low", DeviceValue::AoAlarmLow},
                   alarmHigh_, alarmLow_, high, low)) {
        return;
    }
    host_.Worker().WithSession([&](DeviceState& s) {
        s.writes.aoAlarmHighText = high;
        s.writes.aoAlarmLowText = low;
    });
    Send(WorkerRequest::WriteAlarmValues);
}

void CAOAlarm::OnAlarmMode() {
    const EnumPair& modes = CglobalFile::Pair(EnumKind::AoAlarmMode);
    Selection selection;
    selection.titleKey = "Set_AlarmMode";
    selection.names = modes.names;
    selection.codes = modes.codes;
    selection.preselectName = mode_->text().toStdString();
    const auto chosen = host_.Questions().Select(selection);
    if (!chosen) return;
    host_.Worker().WithSession([&](DeviceState& s) { s.writes.aoAlarmMode = chosen->code; });
    Send(WorkerRequest::WriteAlarmMode);
}

bool CAOAlarm::HandleNotification(const Notification& n) {
    if (!n.Completes(WorkerRequest::WriteAlarmMode) &&
        !n.Completes(WorkerRequest::WriteSaturation) &&
        !n.Completes(WorkerRequest::WriteAlarmValues)) {
        return false;
    }
    if (n.result == kCommExchangeFailed) {
        if (host_.Connection().Connected()) host_.Connection().StopConnection();
        Show(false);
    } else {
        RefreshFields();
    }
    host_.RequestDone();
    return true;
}

}  // namespace qt40
