#pragma once
// The main window: owns every panel, lays them out once and then only shows
// and hides them; routes the worker's notifications to the panel registered
// as receiver, and handles the rest itself.

#include <QWidget>
#include <map>
#include <memory>

#include "app/AppOptions.h"
#include "base/Clock.h"
#include "link/CommWorker.h"
#include "procedures/ConnectionController.h"
#include "link/DataLink.h"
#include "procedures/FixedCurrentWatch.h"
#include "hart/DeviceState.h"
#include "procedures/LevelRelease.h"
#include "procedures/Station.h"
#include "panels/PanelHost.h"
#include "resources/CAppSettings.h"
#include "resources/CResourceDatabase.h"
#include "resources/CResourceManager.h"
#include "sim/SimServer.h"
#include "traffic/ExchangeRecorder.h"
#include "widgets/CFontManager.h"
#include "widgets/QtStandardTexts.h"

namespace qt40 {

class CCOMPortManager;
class CConnectDevice;
class CCustomGraph;
class CDisplayArea;
class CDisplaySignal;
class CFunctionKeys;
class CPanel;
class CPollingAddr;
class CProgressWindow;
class CSensorInfo;
class CSetting;
class CTrafficWindow;
class CTrendGraph;
class QtNotificationSink;

class CMainDlgDlg : public QWidget,
                    public CResourceManager,
                    public CFontManager,
                    public PanelHost,
                    public ConnectionView {
    Q_OBJECT
public:
    static constexpr int kDialogId = 102;

    explicit CMainDlgDlg(AppOptions options = {});
    ~CMainDlgDlg() override;

    // Product name, " Ver", version.
    static QString Caption();

    // PanelHost
    CResourceDatabase& Texts() override { return texts_; }
    Prompts& Questions() override { return *prompts_; }
    CommWorker& Worker() override { return worker_; }
    ConnectionController& Connection() override { return *controller_; }
    CAppSettings& Settings() override { return settings_; }
    CommResult Submit(WorkerRequest code, bool polling) override;
    void RequestDone() override;
    void ShowSensorInfo(bool show) override;
    void ShowMonitor(bool show) override;
    void DisableFunctionKeys() override;
    void PassToMainWindow(const Notification& n) override;
    void RefreshLiveDisplay() override;
    void ApplyLanguage(bool first) override;
    void ShowTableGraph(const TableGraphSeries& series) override;
    void HideTableGraph() override;
    void OfferToLeaveFixedCurrent() override;
    void DacTrimmed(bool upper, const std::string& measuredText) override;

    // The process is told to end (SIGTERM, SIGHUP, a log-off or shut-down):
    // whatever holds the loop at a fixed current closes as its Close does,
    // nobody is asked, and the window closes; with `quit` the program then
    // quits. The waits are bounded by the release's own bound.
    void EndOnSignal(bool quit = true);
    bool ConfirmFixedCurrent(const std::string& level) override;
    // The notice of the connection's first fixed level counts as given (the
    // program's own test hold fixes the loop with nobody at the window).
    void FixedCurrentNoticeGiven();

    // ConnectionView
    void ShowProgress(ProgressKind kind, const std::string& textKey) override;
    void HideProgress(ProgressKind kind) override;
    void SetProgress(float percent, int address) override;
    void MarkCommFailure() override;
    void ConnectionEstablished() override;
    void ConnectionClosed() override;
    void AddressChanged(int address) override;
    void PollCompleted(int result) override;
    void ClearTrendSelections() override;

    // Opens the panel of a function button (as clicking it does).
    void OpenPanel(int button);
    // The demo: connect to the simulated transmitter.
    void ConnectDemoDevice();
    void ShowAbout();
    // The "Traffic" window (Ctrl+T, or a double-click on the communication row).
    void OpenTraffic();

    CFunctionKeys* Functions() const { return functions_; }
    CConnectDevice* ConnectPanel() const { return connect_; }
    CPollingAddr* PollingPanel() const { return polling_; }
    CSetting* LanguagePanel() const { return setting_; }
    CSensorInfo* SensorInfoPanel() const { return sensorInfo_; }
    CDisplayArea* Monitor() const { return display_; }
    CDisplaySignal* StatusBar() const { return signal_; }
    CTrendGraph* TrendGraph() const { return trend_; }
    CCustomGraph* TableGraph() const { return tableGraph_; }
    CProgressWindow* UploadWindow() const { return upload_.get(); }
    CProgressWindow* SearchWindow() const { return search_.get(); }
    CPanel* PanelFor(int button) const;
    sim::SimServer* DemoDevice() const { return demo_.get(); }
    CCOMPortManager* PortManager() const { return ports_.get(); }
    CTrafficWindow* TrafficWindow() const { return traffic_.get(); }
    traffic::ExchangeRecorder& Traffic() { return recorder_; }
    Station& Stack() { return station_; }

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void BuildPanels();
    void Dispatch(int receiver, const Notification& n);
    void StartDemo();
    bool ConnectedToQt40();
    void OpenTrendGraph(int column);
    void TrendGraphHidden(bool wasVisible);
    void CloseTableGraph();
    // Level 0 for a loop the window left fixed, without a question; tried
    // until answered or given up.
    void LeaveFixedCurrent();
    void Shutdown();
    // The caption, and while connected the device's tag, polling address and port.
    void ShowDeviceInTitle();

    AppOptions options_;
    CResourceDatabase texts_;
    CAppSettings settings_;
    QtStandardTexts qtTexts_;

    // The HART side: port, link, records and worker, in the order they depend
    // on each other (and are torn down in reverse).
    SteadyClock clock_;
    traffic::ExchangeRecorder recorder_;  // under the link, recording always
    std::unique_ptr<SerialPort> port_;
    std::unique_ptr<TraceSink> trace_;
    std::unique_ptr<QtNotificationSink> sink_;
    std::unique_ptr<Prompts> ownPrompts_;
    Prompts* prompts_ = nullptr;
    Station station_;
    // Short names for the parts of the station.
    DataLink& link_;
    DeviceState& session_;
    CommWorker& worker_;
    ConnectionController* controller_;
    std::unique_ptr<sim::SimServer> demo_;

    std::unique_ptr<CProgressWindow> upload_;
    std::unique_ptr<CProgressWindow> search_;
    CDisplaySignal* signal_ = nullptr;
    CDisplayArea* display_ = nullptr;
    CFunctionKeys* functions_ = nullptr;
    CSensorInfo* sensorInfo_ = nullptr;
    CConnectDevice* connect_ = nullptr;
    CPollingAddr* polling_ = nullptr;
    CSetting* setting_ = nullptr;
    CTrendGraph* trend_ = nullptr;
    CCustomGraph* tableGraph_ = nullptr;
    std::map<int, CPanel*> panelForButton_;
    std::map<int, CPanel*> panelForReceiver_;
    std::unique_ptr<CCOMPortManager> ports_;
    bool closing_ = false;
    bool endingOnSignal_ = false;
    FixedCurrentWatch fixedCurrent_;
    std::unique_ptr<ProcedureHost> releaseHost_;
    std::unique_ptr<LevelRelease> release_;
    unsigned fixedNoticeRun_ = 0;  // the worker run whose loop the technician was warned about
    std::unique_ptr<CTrafficWindow> traffic_;  // a window of its own, made when first opened
};

}  // namespace qt40
