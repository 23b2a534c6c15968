#include "CAnalogOP.h"

#include <QPushButton>

#include "CLoopCheckDialog.h"
#include "model/ConfigurationRules.h"
#include "model/NumberText.h"

namespace qt40 {

CAnalogOP::CAnalogOP(PanelHost& host, QWidget* parent)
    : CPanel(host, kDialogId, kReceiverAnalogOP, parent),
      procedureHost_(host),
      release_(host.Worker(), procedureHost_, kFixCurrent) {
    setObjectName("CAnalogOP");
    AddTitle(1801, "Analog Output");
    auto* currentPv = AddButton(1802, "Set AO for current PV output");
    currentPv->setObjectName("currentPv");
    AddRow(currentPv);
    auto* specified = AddButton(1803, "Set AO for specified value");
    specified->setObjectName("specified");
    AddRow(specified);
    auto* exit = AddButton(1804, "Exit Fixed AO Mode");
    exit->setObjectName("exitFixed");
    AddRow(exit);
    auto* loopCheck = AddButton(1806, "Loop Check…");
    loopCheck->setObjectName("loopCheck");
    AddRow(loopCheck);
    AddCloseButton(1805, "Close Analog Output");
    connect(loopCheck, &QPushButton::clicked, this, &CAnalogOP::OnLoopCheck);
    connect(currentPv, &QPushButton::clicked, this, &CAnalogOP::OnCurrentPv);
    connect(specified, &QPushButton::clicked, this, &CAnalogOP::OnSpecified);
    connect(exit, &QPushButton::clicked, this, &CAnalogOP::OnExit);
}

void CAnalogOP::Send(const std::string& level) {
    host_.Worker().WithSession([&](HartSession& s) { s.writes.fixedCurrentText = level; });
    if (host_.Submit(kFixCurrent, true) != kCommSuccess) host_.RequestDone();
}

void CAnalogOP::OnCurrentPv() {
    Send(FormatFixed(host_.Worker().RecordSnapshot().loopCurrent, 3, 4));
}

void CAnalogOP::OnSpecified() {
    const auto level = host_.Questions().EnterNumber(
        FixedCurrentEntry(FormatFixed(host_.Worker().RecordSnapshot().loopCurrent, 3, 4)));
    if (!level) return;
    Send(level->enteredText);
}

void CAnalogOP::OnExit() {
    Send("0.0");
}

CAnalogOP::~CAnalogOP() = default;

void CAnalogOP::OnLoopCheck() {
    // The dialog lives on the main window, above this panel and the monitor.
    if (!loopCheck_) loopCheck_ = new CLoopCheckDialog(host_, window());
    loopCheck_->Open();
}

void CAnalogOP::BeforeWindowCloses() {
    if (loopCheck_) loopCheck_->EndCheck();
}

bool CAnalogOP::HandleNotification(const Notification& n) {
    if (loopCheck_ && loopCheck_->HandleNotification(n)) return true;
    if (release_.Sending()) {
        const ProcedureStep step = release_.HandleNotification(n);
        if (step == ProcedureStep::Continues) return true;
        if (step != ProcedureStep::NotMine) {
            if (step == ProcedureStep::Finished) {
                host_.RefreshLiveDisplay();
            } else {
                host_.Questions().Message("Rec_Not_Released", {}, BoxType::OkWarning);
                if (host_.Connection().Connected()) host_.Connection().StopConnection();
                Show(false);
            }
            host_.RequestDone();
            return true;
        }
    }
    if (n.first == kNotifyFailure && n.second == kFixCurrent) {
        // Not asked about: its completion (209) sends level 0.
        GiveUpExchange(host_.Worker());
        return true;
    }
    if (n.first != kFixCurrent) return false;
    // Refused or lost, the level may have been carried out (a delayed
    // answer, a lost reply): level 0 follows, tried until answered.
    if (n.second != kCommSuccess && release_.Start() == kCommSuccess) return true;
    if (n.second == kCommExchangeFailed) {
        if (host_.Connection().Connected()) host_.Connection().StopConnection();
        Show(false);
    } else if (n.second == kCommSuccess) {
        host_.RefreshLiveDisplay();
    }
    host_.RequestDone();
    return true;
}

}  // namespace qt40
