#include "panels/CPollingAddr.h"

#include <QLabel>
#include <QPushButton>

#include "hart/DeviceNameTable.h"
#include "model/ConfigurationRules.h"
#include "model/NumberText.h"

namespace qt40 {

namespace {}

CPollingAddr::CPollingAddr(PanelHost& host, QWidget* parent)
    : CPanel(host, kDialogId, kReceiverPollingAddr, parent) {
    setObjectName("CPollingAddr");
    AddTitle(1401, "Polling Address");
    address_ = AddValue("address");
    AddRow(AddLabel(1402, "Device Address"), address_);
    preambles_ = AddValue("preambles");
    AddRow(AddLabel(1404, "Res. Preamble"), preambles_);
    write_ = AddButton(1406, "Write Device Address");
    write_->setObjectName("write");
    AddRow(write_);
    AddCloseButton(1407, "Close polling Address");
    connect(write_, &QPushButton::clicked, this, &CPollingAddr::OnWrite);
}

void CPollingAddr::RefreshFields() {
    const DeviceRecord record = host_.Worker().RecordSnapshot();
    address_->setText(QString::number(record.pollingAddress));
    preambles_->setText(QString::fromStdString(record.preamblesText));
    write_->setEnabled(record.deviceTypeName == kQT40ModelName);
}

void CPollingAddr::OnWrite() {
    NumberEntry entry;
    entry.titleKey = "Set_Device_Address_Title";
    entry.promptKey = "Set_Device_Address";
    entry.initialText = address_->text().toStdString();
    entry.minimum = RuleOf(DeviceValue::PollingAddress).minimum;
    entry.maximum = RuleOf(DeviceValue::PollingAddress).maximum;
    const auto result = host_.Questions().EnterNumber(entry);
    if (!result) return;
    host_.Connection().WritePollingAddress(static_cast<int>(LeadingInteger(result->enteredText)));
}

bool CPollingAddr::HandleNotification(const Notification& n) {
    if (!n.Completes(WorkerRequest::WritePollingAddress)) return false;
    host_.Connection().HandleNotification(n);
    if (n.result == kCommExchangeFailed) {
        Show(false);
    } else {
        RefreshFields();
    }
    return true;
}

}  // namespace qt40
