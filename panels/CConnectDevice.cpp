#include "CConnectDevice.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "model/NumberText.h"
#include "ports/CCOMPortManager.h"

namespace qt40 {

CConnectDevice::CConnectDevice(PanelHost& host, QWidget* parent)
    : CPanel(host, kDialogId, kReceiverConnectDevice, parent) {
    setObjectName("CConnectDevice");
    AddTitle(1301, "Device Connection");
    AddRow(AddLabel(1302, "COMM Port"));
    ports_ = new QComboBox(this);
    ports_->setObjectName("ports");
    ports_->setProperty("controlId", 1303);
    AddRow(ports_);
    address_ = AddButton(1304, "Device Address");
    address_->setObjectName("addressButton");
    addressValue_ = AddValue("address");
    AddRow(address_, addressValue_);
    search_ = AddButton(1306, "Search Device");
    search_->setObjectName("search");
    AddRow(search_);
    connect_ = AddButton(1307, "Connect Device");
    connect_->setObjectName("connect");
    AddRow(connect_);
    disconnect_ = AddButton(1308, "Disconnect Device");
    disconnect_->setObjectName("disconnect");
    AddRow(disconnect_);
    AddCloseButton(1309, "Close Device Connection");

    connect(address_, &QPushButton::clicked, this, &CConnectDevice::OnDeviceAddress);
    connect(search_, &QPushButton::clicked, this, &CConnectDevice::OnSearch);
    connect(connect_, &QPushButton::clicked, this, &CConnectDevice::OnConnect);
    connect(disconnect_, &QPushButton::clicked, this, &CConnectDevice::OnDisconnect);
    connect(ports_, &QComboBox::activated, this, [this](int index) {
        if (index < 0 || index >= static_cast<int>(shown_.size())) return;
        host_.Settings().comPort = shown_[static_cast<std::size_t>(index)].portName;
        host_.Settings().Save();
    });
}

void CConnectDevice::Update(CObservable* subject) {
    if (auto* manager = dynamic_cast<CCOMPortManager*>(subject)) SetPorts(manager->GetPorts());
}

void CConnectDevice::SetPorts(std::vector<PortEntry> ports) {
    listed_ = std::move(ports);
    FillPortBox();
}

void CConnectDevice::SetExtraPort(const PortEntry& entry) {
    extra_ = entry;
    FillPortBox();
    ports_->setCurrentIndex(0);
}

void CConnectDevice::FillPortBox() {
    const std::string keep = extra_ ? std::string{} : host_.Settings().comPort;
    shown_.clear();
    if (extra_) shown_.push_back(*extra_);
    shown_.insert(shown_.end(), listed_.begin(), listed_.end());
    ports_->clear();
    int selected = 0;
    for (std::size_t i = 0; i < shown_.size(); ++i) {
        ports_->addItem(QString::fromStdString(shown_[i].description));
        if (!keep.empty() && shown_[i].portName == keep) selected = static_cast<int>(i);
    }
    if (!shown_.empty()) ports_->setCurrentIndex(selected);
    EnableControls();
}

std::string CConnectDevice::SelectedPortName() const {
    const int index = ports_->currentIndex();
    if (index < 0 || index >= static_cast<int>(shown_.size())) return host_.Settings().comPort;
    return shown_[static_cast<std::size_t>(index)].portName;
}

void CConnectDevice::ShowAddress(int address) {
    addressValue_->setText(QString::number(address));
}

void CConnectDevice::RefreshFields() {
    ShowAddress(host_.Connection().PollingAddress());
    EnableControls();
}

void CConnectDevice::EnableControls() {
    const bool idle = !host_.Connection().Connected();
    const bool havePorts = !shown_.empty();
    ports_->setEnabled(idle && havePorts);
    connect_->setEnabled(idle && havePorts);
    search_->setEnabled(idle && havePorts);
    address_->setEnabled(idle);
}

void CConnectDevice::OnDeviceAddress() {
    NumberEntry entry;
    entry.titleKey = "Set_Device_Address_Title";
    entry.promptKey = "Set_Device_Address";
    entry.initialText = std::to_string(host_.Connection().PollingAddress());
    entry.minimum = 0;
    entry.maximum = 15;
    const auto result = host_.Questions().EnterNumber(entry);
    if (!result) return;
    const int address = static_cast<int>(LeadingInteger(result->enteredText));
    host_.Worker().WithSession([address](HartSession& s) {
        s.record.pollingAddress = static_cast<std::int16_t>(address);
    });
    ShowAddress(address);
    host_.Settings().pollingAddr = std::to_string(address);
    host_.Settings().Save();
}

void CConnectDevice::OnConnect() {
    host_.OfferToLeaveFixedCurrent();
    host_.Connection().SetPortName(SelectedPortName());
    host_.Connection().ConnectDevice();
    EnableControls();
}

void CConnectDevice::OnSearch() {
    host_.OfferToLeaveFixedCurrent();
    host_.Connection().SetPortName(SelectedPortName());
    host_.Connection().SearchDevice();
    EnableControls();
}

void CConnectDevice::OnDisconnect() {
    host_.OfferToLeaveFixedCurrent();
    host_.Connection().StopConnection();
    Show(false);
}

bool CConnectDevice::HandleNotification(const Notification& n) {
    if (n.first != kRequestIdentify && n.first != kRequestUpload &&
        n.first != kRequestStartPolling) {
        return false;
    }
    host_.Connection().HandleNotification(n);
    if (n.second == kCommExchangeFailed) {
        Show(false);
    } else if (n.first == kRequestStartPolling && host_.Connection().Connected()) {
        Show(false);
        host_.RefreshLiveDisplay();
    }
    EnableControls();
    return true;
}

}  // namespace qt40
