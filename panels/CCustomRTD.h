#pragma once
// The "Custom RTD" panel: the custom RTD table (ohms over temperature)
// between the device, a table file and the table graph, and the calibrated
// RTD coefficients written to the device.

#include "panels/CTablePanel.h"
#include "procedures/CalibratedRtdWrite.h"

namespace qt40 {

class CCustomRTD : public CTablePanel, public CalibratedRtdView {
    Q_OBJECT
public:
    static constexpr int kDialogId = 138;
    CCustomRTD(PanelHost& host, QWidget* parent);

    bool HandleNotification(const Notification& n) override;
    void SetWaitClock(Clock& clock) override;

    // Both views share the panel's handling.
    CommResult Submit(WorkerRequest code, bool polling) override {
        return CTablePanel::Submit(code, polling);
    }
    void ShowProgress(const std::string& key) override { CTablePanel::ShowProgress(key); }
    void HideProgress() override { CTablePanel::HideProgress(); }
    void ConnectionLost() override { CTablePanel::ConnectionLost(); }
    void SequenceEnded() override { CTablePanel::SequenceEnded(); }
    void EnableCalibratedWrite(bool on) override;

private:
    CalibratedRtdWrite calibratedWrite_;
};

}  // namespace qt40
