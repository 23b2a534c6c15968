#include "panels/CDetailedInfo.h"

#include <QDate>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "hart/DeviceNameTable.h"
#include "model/ConfigurationRules.h"
#include "model/EntryRules.h"

namespace qt40 {
namespace {

constexpr std::size_t kTagLength = 8;
constexpr std::size_t kDescriptorLength = 16;
constexpr std::size_t kMessageLength = 32;

QString Trimmed(const std::string& text) {
    return QString::fromStdString(text).trimmed();
}

}  // namespace

CDetailedInfo::CDetailedInfo(PanelHost& host, QWidget* parent)
    : CPanel(host, kDialogId, kReceiverDetailedInfo, parent) {
    setObjectName("CDetailedInfo");
    Grid()->setColumnStretch(1, 1);
    AddTitle(1601, "Detailed Information");
    manufacturer_ = Row(1602, "Manufacture", "manufacturer");
    deviceType_ = Row(1603, "Device Type", "deviceType");
    deviceId_ = Row(1604, "Device ID", "deviceId");
    preambles_ = Row(1605, "Number of preambles", "preambles");
    universalRev_ = Row(1606, "Universal cmd revision", "universalRev");
    transmitterRev_ = Row(1607, "Transmitter-spec revision", "transmitterRev");
    hardwareRev_ = Row(1608, "Hardware Revision", "hardwareRev");
    softwareRev_ = Row(1609, "Software Revision", "softwareRev");

    finalAssemblyNoButton_ = AddButton(1610, "Final Assembly No");
    finalAssemblyNoButton_->setObjectName("finalAssemblyNoButton");
    finalAssemblyNo_ = ButtonRow(finalAssemblyNoButton_, "finalAssemblyNo");
    tagButton_ = AddButton(1611, "Tag No");
    tagButton_->setObjectName("tagButton");
    tag_ = ButtonRow(tagButton_, "tag");
    descriptor_ = Row(1612, "Descriptor", "descriptor");
    date_ = Row(1613, "Date", "date");
    messageButton_ = AddButton(1614, "Message");
    messageButton_->setObjectName("messageButton");
    AddRow(messageButton_);
    message_ = AddValue("message");
    AddRow(message_);
    AddCloseButton(1615, "Close Detailed Information");

    connect(finalAssemblyNoButton_, &QPushButton::clicked, this, &CDetailedInfo::OnFinalAssemblyNo);
    connect(tagButton_, &QPushButton::clicked, this, &CDetailedInfo::OnTag);
    connect(messageButton_, &QPushButton::clicked, this, &CDetailedInfo::OnMessage);
}

QLabel* CDetailedInfo::Row(int id, const QString& caption, const QString& name) {
    QLabel* value = AddValue(name);
    // Long captions wrap, so that a 16-character descriptor keeps its room.
    QLabel* label = AddLabel(id, caption);
    label->setObjectName(name + "Caption");
    label->setWordWrap(true);
    AddRow(label, value);
    return value;
}

QLabel* CDetailedInfo::ButtonRow(QPushButton* button, const QString& name) {
    QLabel* value = AddValue(name);
    AddRow(button, value);
    return value;
}

std::string CDetailedInfo::TodayText() {
    return QDate::currentDate().toString("yyyy/MM/dd").toStdString();
}

void CDetailedInfo::RefreshFields() {
    const DeviceRecord r = host_.Worker().RecordSnapshot();
    const bool connected = host_.Connection().Connected();
    const bool qt40 = connected && r.deviceTypeName == kQT40ModelName;
    finalAssemblyNoButton_->setEnabled(qt40);
    tagButton_->setEnabled(qt40);
    messageButton_->setEnabled(connected);

    manufacturer_->setText(QString::fromStdString(r.manufacturerName));
    deviceType_->setText(QString::fromStdString(r.deviceTypeName));
    deviceId_->setText(QString::fromStdString(r.deviceIdText));
    preambles_->setText(QString::fromStdString(r.preamblesText));
    universalRev_->setText(QString::fromStdString(r.universalRevText));
    transmitterRev_->setText(QString::fromStdString(r.transmitterRevText));
    hardwareRev_->setText(QString::fromStdString(r.hardwareRevText));
    softwareRev_->setText(QString::fromStdString(r.firmwareRevText));
    finalAssemblyNo_->setText(QString::number(r.finalAssemblyNo));
    tag_->setText(Trimmed(r.tag));
    descriptor_->setText(Trimmed(r.descriptor));
    date_->setText(QString::fromStdString(r.date));
    message_->setText(Trimmed(r.message));
}

void CDetailedInfo::Send(WorkerRequest code) {
    if (host_.Submit(code, true) != kCommSuccess) host_.RequestDone();
}

void CDetailedInfo::OnFinalAssemblyNo() {
    const auto value = EnterU24(DeviceValue::FinalAssemblyNo, "Set_FinalAssemblyNo_Value_Title",
                                "Set_FinalAssemblyNo_val", finalAssemblyNo_->text());
    if (!value) return;
    host_.Worker().WithSession([&](DeviceState& s) { s.writes.finalAssemblyNo = *value; });
    Send(WorkerRequest::WriteFinalAssemblyNo);
}

std::optional<std::string> CDetailedInfo::EnterDeviceText(const char* titleKey,
                                                          const char* promptKey,
                                                          const QString& initialText,
                                                          std::size_t length) {
    TextEntry entry;
    entry.mode = TextMode::Text;
    entry.packed = true;
    entry.titleKey = titleKey;
    entry.promptKey = promptKey;
    entry.initialText = initialText.toStdString();
    entry.lengthLimit = static_cast<int>(length);
    const auto text = host_.Questions().EnterText(entry);
    if (!text) return std::nullopt;
    const TextVerdict verdict = CheckTextEntry(entry, *text);
    if (!verdict.result) {
        host_.Questions().Message(verdict.errorKey, verdict.errorArgs, BoxType::OkWarning);
        return std::nullopt;
    }
    return verdict.result;
}

void CDetailedInfo::OnTag() {
    const auto tag =
        EnterDeviceText("Set_Tag_Text_Title", "Set_TAG_Text", tag_->text(), kTagLength);
    if (!tag) return;
    // Tag, descriptor and date travel in one command: a descriptor the user
    // did not confirm is sent as the device holds it, never as an older
    // staged text.
    std::string descriptor =
        EnterDeviceText("Set_Description_Text_Title", "Set_Description_Text", descriptor_->text(),
                        kDescriptorLength)
            .value_or(host_.Worker().RecordSnapshot().descriptor);

    // A clock outside the years a device date holds would be stamped wrapped.
    const std::string today = today_();
    if (!IsValidDate(today)) {
        const QLabel* caption = findChild<QLabel*>("dateCaption");
        host_.Questions().Message(
            "Err_Date_Not_Storable",
            {caption ? caption->text().toStdString() : std::string("Date"), today},
            BoxType::OkWarning);
        return;
    }
    const std::string preparedTag = PrepareDeviceText(*tag, kTagLength);
    const std::string preparedDescriptor = PrepareDeviceText(descriptor, kDescriptorLength);
    host_.Worker().WithSession([&](DeviceState& s) {
        s.writes.tag = preparedTag;
        s.writes.descriptor = preparedDescriptor;
        s.writes.date = today;
    });
    Send(WorkerRequest::WriteTagDescriptorDate);
}

void CDetailedInfo::OnMessage() {
    const auto message = EnterDeviceText("Set_Message_Text_Title", "Set_Message_Text",
                                         message_->text(), kMessageLength);
    if (!message) return;
    const std::string prepared = PrepareDeviceText(*message, kMessageLength);
    host_.Worker().WithSession([&](DeviceState& s) { s.writes.message = prepared; });
    Send(WorkerRequest::WriteMessage);
}

bool CDetailedInfo::HandleNotification(const Notification& n) {
    if (!n.Completes(WorkerRequest::WriteTagDescriptorDate) &&
        !n.Completes(WorkerRequest::WriteMessage) &&
        !n.Completes(WorkerRequest::WriteFinalAssemblyNo)) {
        return false;
    }
    if (n.result == kCommExchangeFailed) {
        // The connection was given up: the default panel takes the column back.
        if (host_.Connection().Connected()) host_.Connection().StopConnection();
        Show(false);
    } else if (n.result == kCommSuccess) {
        RefreshFields();
    }
    host_.RequestDone();
    return true;
}

}  // namespace qt40
