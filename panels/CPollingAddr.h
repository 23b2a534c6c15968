#pragma once
// The polling-address panel: shows the address in use and the preamble count,
// and writes a new polling address to a QT40.

#include "panels/CPanel.h"

namespace qt40 {

class CPollingAddr : public CPanel {
    Q_OBJECT
public:
    static constexpr int kDialogId = 169;

    CPollingAddr(PanelHost& host, QWidget* parent);
    bool HandleNotification(const Notification& n) override;

protected:
    void RefreshFields() override;

private:
    void OnWrite();

    QLabel* address_;
    QLabel* preambles_;
    QPushButton* write_;
};

}  // namespace qt40
