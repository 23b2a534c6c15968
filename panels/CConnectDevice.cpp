#include "panels/CConnectDevice.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

#include "model/ConfigurationRules.h"
#include "model/NumberText.h"
#include "ports/CCOMPortManager.h"
#include "transport/TransportForName.h"

namespace qt40 {

CConnectDevice::CConnectDevice(PanelHost& host, QWidget* parent)
    : CPanel(host, kDialogId, kReceiverConnectDevice, parent) {
    setObjectName("CConnectDevice");
    AddTitle(1301, "Device Connection");
    AddRow(AddLabel(1302, "COMM Port"));
    ports_ = new QComboBox(this);
    ports_->setObjectName("ports");
    ports_->setProperty("controlId", 1303);
    // A device the list cannot know (a pseudo-terminal, a network link, an
    // adapter with an unusual name) is typed as its path.
    ports_->setEditable(true);
    ports_->setInsertPolicy(QComboBox::NoInsert);
    AddRow(ports_);
    // A plain Bell 202 modem takes the loop's own 1200 baud 8O1; the default
    // suits a modem that buffers. The stored choice is kept as its name.
    AddRow(AddLabel(1310, "Serial Line"));
    line_ = new QComboBox(this);
    line_->setObjectName("line");
    line_->setProperty("controlId", 1311);
    const std::string stored =
        LineSetting::FromName(host_.Settings().line).value_or(LineSetting{}).Name();
    for (const std::string& name : LineSetting::Names()) {
        line_->addItem(QString::fromStdString(name), QString::fromStdString(name));
        if (name == stored) line_->setCurrentIndex(line_->count() - 1);
    }
    AddRow(line_);
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
        StorePort(shown_[static_cast<std::size_t>(index)].portName);
    });
    connect(ports_->lineEdit(), &QLineEdit::editingFinished, this, [this] {
        if (ListedIndex() < 0 && !ports_->currentText().trimmed().isEmpty()) {
            StorePort(SelectedPortName());
        }
    });
    connect(ports_, &QComboBox::editTextChanged, this, [this] { EnableControls(); });
    connect(line_, &QComboBox::activated, this, [this] { StoreLine(); });
}

LineSetting CConnectDevice::SelectedLine() const {
    return LineSetting::FromName(line_->currentData().toString().toStdString())
        .value_or(LineSetting{});
}

void CConnectDevice::StoreLine() {
    const std::string name = SelectedLine().Name();
    if (host_.Settings().line == name) return;
    host_.Settings().line = name;
    host_.Settings().Save();
}

void CConnectDevice::StorePort(const std::string& portName) {
    if (host_.Settings().comPort == portName) return;
    host_.Settings().comPort = portName;
    host_.Settings().Save();
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
    // A path the user typed survives a new list.
    const bool hadText = ports_->count() > 0 || !ports_->currentText().isEmpty();
    const QString typed = hadText && ListedIndex() < 0 ? ports_->currentText() : QString();
    const std::string keep = extra_ ? std::string{} : host_.Settings().comPort;
    shown_.clear();
    if (extra_) shown_.push_back(*extra_);
    shown_.insert(shown_.end(), listed_.begin(), listed_.end());
    ports_->clear();
    int selected = -1;
    for (std::size_t i = 0; i < shown_.size(); ++i) {
        ports_->addItem(QString::fromStdString(shown_[i].description));
        if (!keep.empty() && shown_[i].portName == keep) selected = static_cast<int>(i);
    }
    if (!typed.isEmpty()) {
        ports_->setEditText(typed);
    } else if (selected < 0 && !keep.empty() && (keep.front() == '/' || IsNetworkPortName(keep))) {
        // A stored path or gateway that no list shows was typed: offer it again.
        ports_->setEditText(QString::fromStdString(keep));
    } else if (!shown_.empty()) {
        ports_->setCurrentIndex(selected < 0 ? 0 : selected);
    }
    EnableControls();
}

int CConnectDevice::ListedIndex() const {
    const int index = ports_->currentIndex();
    if (index < 0 || index >= static_cast<int>(shown_.size())) return -1;
    if (ports_->currentText() != ports_->itemText(index)) return -1;
    return index;
}

std::string CConnectDevice::SelectedPortName() const {
    const int index = ListedIndex();
    if (index >= 0) return shown_[static_cast<std::size_t>(index)].portName;
    const std::string typed = ports_->currentText().trimmed().toStdString();
    return typed.empty() ? host_.Settings().comPort : typed;
}

void CConnectDevice::ConnectTo(const QString& port, int address) {
    ports_->setEditText(port);
    if (RuleOf(DeviceValue::PollingAddress).Accepts(address)) SetAddress(address);
    OnConnect();
}

void CConnectDevice::ShowAddress(int address) {
    addressValue_->setText(QString::number(address));
}

void CConnectDevice::RefreshFields() {
    // The choices in the words of the language file, as their keys name them.
    for (int i = 0; i < line_->count(); ++i) {
        std::string key = "Line_" + line_->itemData(i).toString().toStdString();
        std::replace(key.begin(), key.end(), '-', '_');
        const std::string text = host_.Texts().DisplayMsg(key);
        if (!text.empty()) line_->setItemText(i, QString::fromStdString(text));
    }
    ShowAddress(host_.Connection().PollingAddress());
    EnableControls();
}

void CConnectDevice::EnableControls() {
    const bool idle = !host_.Connection().Connected();
    const bool havePort = !shown_.empty() || !ports_->currentText().trimmed().isEmpty();
    // The box stays open for typing when the list is empty.
    ports_->setEnabled(idle);
    // A gateway has no serial line between the PC and a modem.
    line_->setEnabled(idle && !IsNetworkPortName(ports_->currentText().trimmed().toStdString()));
    connect_->setEnabled(idle && havePort);
    search_->setEnabled(idle && havePort);
    address_->setEnabled(idle);
}

void CConnectDevice::OnDeviceAddress() {
    NumberEntry entry;
    entry.titleKey = "Set_Device_Address_Title";
    entry.promptKey = "Set_Device_Address";
    entry.initialText = std::to_string(host_.Connection().PollingAddress());
    entry.minimum = RuleOf(DeviceValue::PollingAddress).minimum;
    entry.maximum = RuleOf(DeviceValue::PollingAddress).maximum;
    const auto result = host_.Questions().EnterNumber(entry);
    if (!result) return;
    SetAddress(static_cast<int>(LeadingInteger(result->enteredText)));
}

void CConnectDevice::SetAddress(int address) {
    host_.Worker().WithSession([address](DeviceState& s) {
        s.record.pollingAddress = static_cast<std::int16_t>(address);
    });
    ShowAddress(address);
    host_.Settings().pollingAddr = std::to_string(address);
    host_.Settings().Save();
}

void CConnectDevice::OnConnect() {
    host_.OfferToLeaveFixedCurrent();
    const std::string port = SelectedPortName();
    if (ListedIndex() < 0) StorePort(port);
    host_.Connection().SetPortName(port);
    host_.Connection().SetLine(SelectedLine());
    host_.Connection().ConnectDevice();
    EnableControls();
}

void CConnectDevice::OnSearch() {
    host_.OfferToLeaveFixedCurrent();
    if (ListedIndex() < 0) StorePort(SelectedPortName());
    host_.Connection().SetPortName(SelectedPortName());
    host_.Connection().SetLine(SelectedLine());
    host_.Connection().SearchDevice();
    EnableControls();
}

void CConnectDevice::OnDisconnect() {
    host_.OfferToLeaveFixedCurrent();
    host_.Connection().StopConnection();
    Show(false);
}

bool CConnectDevice::HandleNotification(const Notification& n) {
    if (!n.Completes(WorkerRequest::Identify) && !n.Completes(WorkerRequest::Upload) &&
        !n.Completes(WorkerRequest::StartPolling)) {
        return false;
    }
    host_.Connection().HandleNotification(n);
    if (n.result == kCommExchangeFailed) {
        // Nobody answered at the address: the panel stays for another address
        // or a search, as it does for a port that will not open.
        if (!n.Completes(WorkerRequest::Identify)) Show(false);
    } else if (n.Completes(WorkerRequest::StartPolling) && host_.Connection().Connected()) {
        Show(false);
        host_.RefreshLiveDisplay();
    }
    EnableControls();
    return true;
}

}  // namespace qt40
