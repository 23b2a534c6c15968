#pragma once
// The "Analog Output" panel: puts the output into fixed-current mode, at the
// present loop current or at a typed level, and takes it out again.

#include "CPanel.h"

namespace qt40 {

class CAnalogOP : public CPanel {
    Q_OBJECT
public:
    static constexpr int kDialogId = 131;
    static constexpr int kFixCurrent = 422;  // 40

    CAnalogOP(PanelHost& host, QWidget* parent);

    bool HandleNotification(const Notification& n) override;

private:
    void Send(const std::string& level);
    void OnCurrentPv();
    void OnSpecified();
    void OnExit();
};

}  // namespace qt40
