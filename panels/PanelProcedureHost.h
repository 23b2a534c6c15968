#pragma once
// A device procedure driven from a panel: requests go through the main
// window (which stops taking clicks until the worker answers), waits keep
// the window painting, and a re-upload shows the upload window.

#include "panels/PanelHost.h"
#include "procedures/ProcedureHost.h"

namespace qt40 {

class PanelProcedureHost final : public ProcedureHost {
public:
    explicit PanelProcedureHost(PanelHost& host) : host_(host) {}

    CommResult Submit(WorkerRequest code, bool polling) override {
        return host_.Submit(code, polling);
    }
    void Wait(int ms) override;
    void ShowProgress(const std::string& textKey) override {
        host_.Connection().ShowProgress(ProgressKind::Upload, textKey);
    }
    void HideProgress() override { host_.Connection().HideProgress(ProgressKind::Upload); }
    void BeforeQuestion() override { host_.RequestDone(); }

private:
    PanelHost& host_;
};

}  // namespace qt40
