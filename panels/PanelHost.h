#pragma once
// What a panel reaches through its main window: texts, questions, the worker
// and the connection logic, the settings, and the switching of the left column.

#include "link/CommWorker.h"
#include "procedures/ConnectionController.h"
#include "link/NotificationSink.h"
#include "base/Prompts.h"
#include "resources/CAppSettings.h"
#include "resources/CResourceDatabase.h"
#include "tables/TableGraphSeries.h"

namespace qt40 {

class PanelHost {
public:
    virtual ~PanelHost() = default;

    virtual CResourceDatabase& Texts() = 0;
    virtual Prompts& Questions() = 0;
    virtual CommWorker& Worker() = 0;
    virtual ConnectionController& Connection() = 0;
    virtual CAppSettings& Settings() = 0;

    // Submits a request and keeps the window from taking clicks until the
    // worker has answered.
    virtual CommResult Submit(WorkerRequest code, bool polling) = 0;
    // A panel's request sequence has ended: the window takes clicks again
    // (unless a progress window is up).
    virtual void RequestDone() = 0;
    // Shows or hides the default panel of the left column.
    virtual void ShowSensorInfo(bool show) = 0;
    // The monitor and, with it, the function panel (enabled by its rules).
    virtual void ShowMonitor(bool show) = 0;
    // Every function button but "Exit" off, while a panel holds the column.
    virtual void DisableFunctionKeys() = 0;
    // The common handling of a notification a panel does not own.
    virtual void PassToMainWindow(const Notification& n) = 0;
    // Redraws the monitor from the device record.
    virtual void RefreshLiveDisplay() = 0;
    // Reloads the chosen language file and relabels the open window.
    virtual void ApplyLanguage(bool first) = 0;
    // The table graph in place of the monitor and the function panel, showing
    // `series`; hidden again by its own close button or by HideTableGraph.
    // Closing it calls TableGraphClosed on every table panel.
    virtual void ShowTableGraph(const TableGraphSeries& series) { (void)series; }
    virtual void HideTableGraph() {}
    // Before the connection is ended on purpose: a loop left at a fixed
    // current is offered back to the PV ("Confr_Leave_Fixed_Current").
    virtual void OfferToLeaveFixedCurrent() {}
    // The device stored a DAC trim (the upper point or the lower one, with
    // the reading sent): the loop-check sheet keeps it.
    virtual void DacTrimmed(bool upper, const std::string& measuredText) {
        (void)upper;
        (void)measuredText;
    }

    // Before a panel fixes the loop current at `level` mA: the first time in
    // a connection the technician is told that the loop will be fixed and
    // should be in manual ("Confr_Fixed_Current_Manual"). False when declined:
    // nothing is sent.
    virtual bool ConfirmFixedCurrent(const std::string& level) {
        (void)level;
        return true;
    }
};

}  // namespace qt40
