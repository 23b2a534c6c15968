#include "panels/CAnalogOP.h"

#include <QPushButton>

#include "panels/CLoopCheckDialog.h"
#include "model/ConfigurationRules.h"
#include "model/NumberText.h"

namespace qt40 {

CAnalogOP::CAnalogOP(PanelHost& host, QWidget* parent)
    : CPanel(host, kDialogId, kReceiverAnalogOP, parent),
      procedureHost_(host),
      release_(host.Worker(), procedureHost_, WorkerRequest::FixCurrent) {
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
    // The panel may close with the loop fixed; it says so, since nothing else would.
    connect(close_, &QPushButton::clicked, this, &CAnalogOP::OnClose);
}

void CAnalogOP::Send(const std::string& level) {
    if (LeadingDecimal(level) != 0.0 && !host_.ConfirmFixedCurrent(level)) return;
    host_.Worker().WithSession([&](DeviceState& s) { s.writes.fixedCurrentText = level; });
    if (host_.Submit(WorkerRequest::FixCurrent, true) != kCommSuccess) host_.RequestDone();
}

bool CAnalogOP::LoopFixed() const {
    if (!host_.Connection().Connected()) return false;
    // What this panel last set in this connection; else the device's own word
    // from its last answer ("AFX", bit 3), for a loop fixed elsewhere.
    if (sentRun_ == host_.Worker().RunNumber()) return sentLevel_ != 0.0;
    return (host_.Worker().WithSession([](DeviceState& s) { return s.link.deviceStatus; }) &
            kLoopCurrentFixed) != 0;
}

void CAnalogOP::OnClose() {
    if (!LoopFixed()) return;
    const std::string level = FormatFixed(sentRun_ == host_.Worker().RunNumber()
                                              ? sentLevel_
                                              : host_.Worker().RecordSnapshot().loopCurrent,
                                          3, 4);
    host_.Questions().Message("Info_AO_Stays_Fixed", {level}, BoxType::OkInformation);
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
    if (n.Fails(WorkerRequest::FixCurrent)) {
        // Not asked about: its completion (209) sends level 0.
        GiveUpExchange(host_.Worker());
        return true;
    }
    if (!n.Completes(WorkerRequest::FixCurrent)) return false;
    // Refused or lost, the level may have been carried out (a delayed
    // answer, a lost reply): level 0 follows, tried until answered.
    if (n.result != kCommSuccess && release_.Start() == kCommSuccess) return true;
    if (n.result == kCommExchangeFailed) {
        if (host_.Connection().Connected()) host_.Connection().StopConnection();
        Show(false);
    } else if (n.result == kCommSuccess) {
        sentRun_ = host_.Worker().RunNumber();
        sentLevel_ = LeadingDecimal(
            host_.Worker().WithSession([](DeviceState& s) { return s.writes.fixedCurrentText; }));
        host_.RefreshLiveDisplay();
    }
    host_.RequestDone();
    return true;
}

}  // namespace qt40
