#pragma once
// The connection panel: pick the serial port (or type the path of one the
// list does not show) and the polling address, search for the transmitter,
// connect and disconnect.

#include <optional>
#include <vector>

#include "panels/CPanel.h"
#include "transport/LineSetting.h"
#include "observer/CObserver.h"
#include "ports/PortEntry.h"

class QComboBox;

namespace qt40 {

class CConnectDevice : public CPanel, public CObserver {
    Q_OBJECT
public:
    static constexpr int kDialogId = 150;

    CConnectDevice(PanelHost& host, QWidget* parent);

    // The port list changed (the port manager notifies on the window thread).
    void Update(CObservable* subject) override;
    // Shows these ports; `extra` (the demo device) comes first and is chosen.
    void SetPorts(std::vector<PortEntry> ports);
    void SetExtraPort(const PortEntry& entry);
    void ShowAddress(int address);
    // The port name of the chosen entry, or the path typed into the box (the
    // stored port when there is neither).
    std::string SelectedPortName() const;
    // Puts `port` into the box as if typed, takes `address` (when 0 … 15) and
    // connects: the start-up option --port.
    void ConnectTo(const QString& port, int address);

    bool HandleNotification(const Notification& n) override;

    QComboBox* PortBox() const { return ports_; }
    QComboBox* LineBox() const { return line_; }
    // The line setting chosen in the box.
    LineSetting SelectedLine() const;

protected:
    void RefreshFields() override;

private:
    void FillPortBox();
    void EnableControls();
    // The entry the box's text stands for; none when the text was typed.
    int ListedIndex() const;
    void StorePort(const std::string& portName);
    void StoreLine();
    void SetAddress(int address);
    void OnDeviceAddress();
    void OnConnect();
    void OnSearch();
    void OnDisconnect();

    QComboBox* ports_;
    QComboBox* line_;
    QPushButton* address_;
    QLabel* addressValue_;
    QPushButton* search_;
    QPushButton* connect_;
    QPushButton* disconnect_;
    std::vector<PortEntry> listed_;
    std::vector<PortEntry> shown_;
    std::optional<PortEntry> extra_;
};

}  // namespace qt40
