#pragma once
// The "Analog Output" panel: puts the output into fixed-current mode, at the
// present loop current or at a typed level, and takes it out again.

#include "panels/CPanel.h"
#include "panels/PanelProcedureHost.h"
#include "procedures/LevelRelease.h"

namespace qt40 {

class CLoopCheckDialog;

class CAnalogOP : public CPanel {
    Q_OBJECT
public:
    static constexpr int kDialogId = 131;
    static constexpr std::uint8_t kLoopCurrentFixed = 0x08;  // device status bit

    CAnalogOP(PanelHost& host, QWidget* parent);
    ~CAnalogOP() override;

    bool HandleNotification(const Notification& n) override;
    void BeforeWindowCloses() override;
    // Made on first use of "Loop Check…", kept with its sheet afterwards.
    CLoopCheckDialog* LoopCheck() const { return loopCheck_; }

private:
    void Send(const std::string& level);
    void OnCurrentPv();
    void OnSpecified();
    void OnExit();
    void OnLoopCheck();
    void OnClose();
    bool LoopFixed() const;

    CLoopCheckDialog* loopCheck_ = nullptr;
    PanelProcedureHost procedureHost_;
    // After a level refused or lost: level 0, tried until answered.
    LevelRelease release_;
    // The level this panel's last accepted request set, and in which worker run.
    unsigned sentRun_ = 0;
    double sentLevel_ = 0.0;
};

}  // namespace qt40
