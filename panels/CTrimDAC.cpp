#include "panels/CTrimDAC.h"

#include <QPushButton>
#include <utility>

#include "model/NumberText.h"

namespace qt40 {

CTrimDAC::CTrimDAC(PanelHost& host, QWidget* parent)
    : CPanel(host, kDialogId, kReceiverTrimDAC, parent),
      procedureHost_(host),
      trim_(host.Worker(), host.Questions(), procedureHost_) {
    setObjectName("CTrimDAC");
    AddTitle(1821, "Trim DAC");
    const auto button = [this](int id, const char* text, const char* name) {
        QPushButton* b = AddButton(id, text);
        b->setObjectName(name);
        AddRow(b);
        return b;
    };
    QPushButton* lower = button(1822, "Enter Lower Range Trim Mode", "lowerTrim");
    QPushButton* upper = button(1823, "Enter Upper Range Trim Mode", "upperTrim");
    QPushButton* trim = button(1824, "Trim by actual measured value", "trim");
    QPushButton* clear = button(1825, "Clear Trim DAC Data", "clearTrim");
    AddCloseButton(1826, "Close Trim DAC");
    // Closing leaves fixed-current mode first.
    disconnect(close_, &QPushButton::clicked, this, nullptr);
    connect(close_, &QPushButton::clicked, this, &CTrimDAC::OnClose);

    const auto sent = [this](CommResult r) {
        if (r != kCommSuccess) host_.RequestDone();
    };
    // Each of these fixes the loop current: the first in a connection says so.
    connect(lower, &QPushButton::clicked, this, [this, sent] {
        if (host_.ConfirmFixedCurrent("4.000")) sent(trim_.EnterTrimMode(DacTrimProcedure::kLower));
    });
    connect(upper, &QPushButton::clicked, this, [this, sent] {
        if (host_.ConfirmFixedCurrent("20.000"))
            sent(trim_.EnterTrimMode(DacTrimProcedure::kUpper));
    });
    connect(trim, &QPushButton::clicked, this, [this] { trim_.TrimByMeasuredValue(); });
    connect(clear, &QPushButton::clicked, this, [this] {
        const std::string level = FormatFixed(host_.Worker().RecordSnapshot().loopCurrent, 3, 4);
        if (host_.ConfirmFixedCurrent(level)) trim_.ClearTrimData();
    });
}

void CTrimDAC::ConfirmTrim() {
    // Nothing else shows that the device took the value.
    const auto [point, measured] = host_.Worker().WithSession([](DeviceState& s) {
        return std::pair{int{s.writes.dacTrimPoint}, s.writes.dacTrimText};
    });
    host_.Questions().Message(
        "Info_Trim_Accepted",
        {measured, std::string(point == DacTrimProcedure::kUpper ? "20" : "4")},
        BoxType::OkInformation);
}

void CTrimDAC::Show(bool show) {
    if (show) {
        trim_.Reset();
        closing_ = false;
    } else if (isVisible() && !closing_) {
        // Hidden by anything but its own Close (the trend graph's Close hides
        // every panel): the loop must not stay fixed, so the trim ends as
        // Close ends it, with level 0.
        OnClose();
        return;
    }
    CPanel::Show(show);
}

void CTrimDAC::OnClose() {
    closing_ = true;
    if (trim_.Close() != kCommSuccess) host_.RequestDone();
    // Level 0's answers come to this panel only while it is shown: wait for
    // the release to end (answered, or given up after its bound).
    const std::int64_t end = procedureHost_.NowMs() + LevelRelease::kBoundMs + 5000;
    while (trim_.Releasing() && host_.Worker().Running() && procedureHost_.NowMs() < end) {
        procedureHost_.Wait(50);
    }
    if (!trim_.Release0().Released() && trim_.Release0().Tries() > 0 &&
        host_.Connection().Connected()) {
        // Nothing more can be done on this line; what the output holds is unknown.
        host_.Connection().StopConnection();
    }
    if (isVisible()) Show(false);
}

bool CTrimDAC::HandleNotification(const Notification& n) {
    const ProcedureStep step = trim_.HandleNotification(n);
    switch (step) {
        case ProcedureStep::NotMine:
            return false;
        case ProcedureStep::Continues:
            return true;
        case ProcedureStep::ConnectionLost:
            if (!closing_ && isVisible()) {
                // A trim request lost: the output may be fixed, so the trim
                // ends as Close ends it, level 0 tried until answered.
                host_.RequestDone();
                const bool wasConnected = host_.Connection().Connected();
                OnClose();
                // As the Analog Output panel does: the technician must know the
                // output may still be fixed.
                if (wasConnected && !trim_.Release0().Released() && trim_.Release0().Tries() > 0) {
                    host_.Questions().Message("Rec_Not_Released", {}, BoxType::OkWarning);
                }
                return true;
            }
            if (closing_) break;  // OnClose decides
            if (host_.Connection().Connected()) host_.Connection().StopConnection();
            if (isVisible()) Show(false);
            break;
        case ProcedureStep::Finished:
            if (n.Completes(WorkerRequest::TrimDac)) {
                const auto [point, text] = host_.Worker().WithSession([](DeviceState& s) {
                    return std::pair{int{s.writes.dacTrimPoint}, s.writes.dacTrimText};
                });
                host_.DacTrimmed(point == DacTrimProcedure::kUpper, text);
            }
            if (n.Completes(WorkerRequest::LeaveFixedLevel) && isVisible() && !closing_)
                Show(false);
            break;
        case ProcedureStep::Refused:
            break;
    }
    host_.RequestDone();
    if (step == ProcedureStep::Finished && n.Completes(WorkerRequest::TrimDac)) ConfirmTrim();
    return true;
}

}  // namespace qt40
