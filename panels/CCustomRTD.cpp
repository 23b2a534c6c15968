#include "panels/CCustomRTD.h"

#include <QPushButton>

namespace qt40 {

CCustomRTD::CCustomRTD(PanelHost& host, QWidget* parent)
    : CTablePanel(host, kDialogId, kReceiverCustomRTD, TableKind::CustomRtd,
                  {"CCustomRTD", "Custom RTD", "Display graph of Custom RTD", "Close Custom RTD"},
                  parent),
      calibratedWrite_(host.Worker(), host.Questions(), *this, WaitClock(), Transfer()) {
    connect(calibrated_, &QPushButton::clicked, this, [this] { calibratedWrite_.Start(); });
}

bool CCustomRTD::HandleNotification(const Notification& n) {
    return calibratedWrite_.HandleNotification(n) || CTablePanel::HandleNotification(n);
}

void CCustomRTD::SetWaitClock(Clock& clock) {
    CTablePanel::SetWaitClock(clock);
    calibratedWrite_.SetClock(clock);
}

void CCustomRTD::EnableCalibratedWrite(bool on) {
    calibrated_->setEnabled(on);
}

}  // namespace qt40
