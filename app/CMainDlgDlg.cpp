#include "app/CMainDlgDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QIcon>
#include <QKeyEvent>
#include <QMessageBox>
#include <QShortcut>
#include <QTimer>

#include "app/CFunctionKeys.h"
#include "app/WorkerEvent.h"
#include "hart/DeviceNameTable.h"
#include "model/CglobalFile.h"
#include "model/NumberText.h"
#include "monitor/CCustomGraph.h"
#include "monitor/CDisplayArea.h"
#include "monitor/CDisplaySignal.h"
#include "monitor/CTrafficWindow.h"
#include "monitor/CTrendGraph.h"
#include "panels/CAOAlarm.h"
#include "panels/CAddStatus.h"
#include "panels/CAnalogOP.h"
#include "panels/CConnectDevice.h"
#include "panels/CCustomRTD.h"
#include "panels/CCustomTC.h"
#include "panels/CDetailSensorInfo.h"
#include "panels/CDetailedInfo.h"
#include "panels/CDiagnostics.h"
#include "panels/CFileProperty.h"
#include "panels/CLoopCheckDialog.h"
#include "panels/CPollingAddr.h"
#include "panels/CProgressWindow.h"
#include "panels/CSensorCalib.h"
#include "panels/CSensorInfo.h"
#include "panels/CSetting.h"
#include "panels/CSpecialCurve.h"
#include "panels/CTrimDAC.h"
#include "panels/CWireResistance.h"
#include "panels/PanelProcedureHost.h"
#include "ports/CCOMPortManager.h"
#include "resources/CPrivateException.h"
#include "resources/MessageFormat.h"
#include "sim/SimPortSwitch.h"
#include "sim/SimServer.h"
#include "widgets/DialogUnits.h"
#include "widgets/QtPrompts.h"

#ifdef _WIN32
#include "transport/Win32SerialPort.h"
#else
#include "transport/PosixSerialPort.h"
#endif

#ifndef QT40_PRODUCT_NAME
#define QT40_PRODUCT_NAME "QT40CFG PC Configurator"
#endif
#ifndef QT40_PRODUCT_VERSION
#define QT40_PRODUCT_VERSION "0.0.0"
#endif

namespace qt40 {
namespace {

constexpr int kMainWidthUnits = 530;
constexpr int kMainHeightUnits = 350;
constexpr int kStatusBarHeightUnits = 50;
constexpr int kLeaveFixedWaitMs = 30000;

// The system's port, or a simulator of this process by its name (the demo
// on Windows, which has no pseudo-terminals).
std::unique_ptr<SerialPort> MakePort() {
#ifdef _WIN32
    return std::make_unique<sim::SimPortSwitch>(std::make_unique<Win32SerialPort>());
#else
    return std::make_unique<sim::SimPortSwitch>(std::make_unique<PosixSerialPort>());
#endif
}

std::string UnitName(int code) {
    if (auto name = CglobalFile::NameOf(EnumKind::Unit, code)) return *name;
    return std::to_string(code);
}

// The device as the title names it: its tag, or its device ID when the tag
// is blank.
std::string DeviceNameForTitle(const std::string& tag, const std::string& deviceId) {
    const auto first = tag.find_first_not_of(' ');
    if (first == std::string::npos) return deviceId;
    return tag.substr(first, tag.find_last_not_of(' ') - first + 1);
}

// The value of a monitor column in the record.
double ColumnValue(const DeviceRecord& r, int column) {
    switch (column) {
        case CDisplayArea::kPv:
            return r.pvValue;
        case CDisplayArea::kPercent:
            return r.percentOfRange;
        case CDisplayArea::kTerm:
            return r.svValue;
        default:
            return r.loopCurrent;
    }
}

}  // namespace

CMainDlgDlg::CMainDlgDlg(AppOptions options)
    : QWidget(nullptr),
      options_(std::move(options)),
      texts_(options_.languageDir),
      settings_(options_.settingsFile),
      recorder_(options_.trafficCapacity),
      port_(MakePort()),
      trace_(TraceFromEnvironment()),
      sink_(std::make_unique<QtNotificationSink>(this)),
      ownPrompts_(options_.prompts ? nullptr
                                   : std::make_unique<QtPrompts>(texts_, this,
                                                                 [this](bool on) { worker_.SetPause(on); })),
      prompts_(options_.prompts ? options_.prompts : ownPrompts_.get()),
      station_(Station::Parts{clock_, *port_, *trace_, *sink_, *prompts_, *this, options_.timing, &recorder_}),
      link_(station_.Link()),
      session_(station_.Session()),
      worker_(station_.Worker()),
      controller_(&station_.Controller()) {
    setObjectName("CMainDlgDlg");
    setWindowTitle(Caption());
    setFixedSize(DluX(kMainWidthUnits) + 5, DluY(kMainHeightUnits));
    CFontManager::SetTemplateFont(QApplication::font());

    controller_->SetReconnectWaitMs(options_.reconnectWaitMs);

    // Start-up order: record start values, settings, language, panels.
    session_.record.SetStartValues();
    if (options_.japaneseLocale) {
        settings_.Load(*options_.japaneseLocale);
    } else {
        settings_.Load();
    }
    HartIpClientOptions hartIp = station_.HartIpOptions();
    hartIp.answerTimeoutMs = settings_.HartIpTimeoutMs();
    station_.SetHartIpOptions(hartIp);
    // The stored address is user-editable text: anything but 0 … 15 starts at 0.
    const long long address = LeadingInteger(settings_.pollingAddr);
    session_.record.pollingAddress = static_cast<std::int16_t>(address >= 0 && address <= 15 ? address : 0);
    texts_.Init();
    ApplyLanguage(true);
    BuildPanels();
    if (settings_.HartIpTimeoutReplaced()) {
        prompts_->Message("Err_Setting_HartIp_Timeout", {settings_.hartIpTimeout, 3000LL}, BoxType::OkWarning);
    }

    signal_->Show(false);
    signal_->Show(true);
    sensorInfo_->Show(true);
    ShowMonitor(true);
    RefreshLiveDisplay();
    signal_->ShowOffline();
    setWindowTitle(Caption());
    if (options_.demo) StartDemo();
}

CMainDlgDlg::~CMainDlgDlg() {
    worker_.StopWorker();
    traffic_.reset();
    if (ports_) ports_->Detach(connect_);
}

QString CMainDlgDlg::Caption() {
    return QStringLiteral(QT40_PRODUCT_NAME) + " Ver" + QStringLiteral(QT40_PRODUCT_VERSION);
}

void CMainDlgDlg::BuildPanels() {
    const int statusHeight = DluY(kStatusBarHeightUnits);
    const int top = statusHeight - 1;

    signal_ = new CDisplaySignal(texts_, this);
    signal_->move(0, 0);
    signal_->Initialise();
    setWindowIcon(QIcon(QStringLiteral(":/qt40cfg/qt40cfg.ico")));

    upload_ = std::make_unique<CProgressWindow>(CProgressWindow::Kind::Upload, this);
    search_ = std::make_unique<CProgressWindow>(CProgressWindow::Kind::Search, this);

    auto place = [&](CPanel* panel, int button) {
        panel->move(0, top);
        panelForButton_[button] = panel;
        if (panel->Receiver() != kReceiverNone) panelForReceiver_[panel->Receiver()] = panel;
    };
    place(new CFileProperty(*this, this), CFunctionKeys::kFile);
    place(new CCustomTC(*this, this), CFunctionKeys::kCustomTc);
    place(new CCustomRTD(*this, this), CFunctionKeys::kCustomRtd);
    place(new CSpecialCurve(*this, this), CFunctionKeys::kSpecialCurve);
    place(new CDetailedInfo(*this, this), CFunctionKeys::kDeviceInfo);
    place(new CAnalogOP(*this, this), CFunctionKeys::kAnalogOutput);
    place(new CAOAlarm(*this, this), CFunctionKeys::kAoAlarm);
    place(new CTrimDAC(*this, this), CFunctionKeys::kTrimDac);
    place(new CSensorCalib(*this, this), CFunctionKeys::kSensorCal);
    place(new CWireResistance(*this, this), CFunctionKeys::kWireResistance);
    auto* addStatus = new CAddStatus(*this, this);
    addStatus->move(DluX(CPanel::kWidthUnits), top);
    panelForReceiver_[kReceiverAddStatus] = addStatus;
    place(new CDiagnostics(*this, *addStatus, this), CFunctionKeys::kDiagnostics);
    place(new CDetailSensorInfo(*this, this), CFunctionKeys::kSensorInfo);
    polling_ = new CPollingAddr(*this, this);
    place(polling_, CFunctionKeys::kPollingAddress);
    connect_ = new CConnectDevice(*this, this);
    place(connect_, CFunctionKeys::kConnect);
    setting_ = new CSetting(*this, this);
    place(setting_, CFunctionKeys::kLanguage);

    display_ = new CDisplayArea(*prompts_, texts_, this);
    display_->move(DluX(CPanel::kWidthUnits), top);
    functions_ = new CFunctionKeys(texts_, this);
    functions_->move(width() - functions_->width() - 5, top);
    connect(functions_, &CFunctionKeys::opened, this, &CMainDlgDlg::OpenPanel);

    // The graphs lie over the monitor and the function panel.
    trend_ = new CTrendGraph(texts_, *prompts_, this);
    trend_->move(DluX(CPanel::kWidthUnits), top);
    tableGraph_ = new CCustomGraph(texts_, *prompts_, this);
    tableGraph_->move(DluX(CPanel::kWidthUnits), top);
    connect(display_, &CDisplayArea::graphRequested, this, &CMainDlgDlg::OpenTrendGraph);
    connect(trend_, &CTrendGraph::hidden, this, &CMainDlgDlg::TrendGraphHidden);
    connect(trend_, &CTrendGraph::closed, this, [this] { sensorInfo_->Show(true); });
    connect(tableGraph_, &CCustomGraph::closeRequested, this, &CMainDlgDlg::CloseTableGraph);
    connect(signal_, &CDisplaySignal::commRowDoubleClicked, this, &CMainDlgDlg::OpenTraffic);
    connect(signal_, &CDisplaySignal::trafficRequested, this, &CMainDlgDlg::OpenTraffic);
    auto* traffic = new QShortcut(QKeySequence(QStringLiteral("Ctrl+T")), this);
    connect(traffic, &QShortcut::activated, this, &CMainDlgDlg::OpenTraffic);

    sensorInfo_ = new CSensorInfo(*this, this);
    sensorInfo_->move(0, top);
    panelForReceiver_[kReceiverSensorInfo] = sensorInfo_;

    display_->Initialise();
    trend_->Initialise();
    tableGraph_->Initialise();

    // The port list comes from a thread of its own and reaches the
    // connection panel through the observer chain.
    ports_ = options_.portSource
                 ? std::make_unique<CCOMPortManager>(*options_.portSource, false)
                 : std::make_unique<CCOMPortManager>();
    ports_->Attach(connect_);
    ports_->Refresh();
}

void CMainDlgDlg::StartDemo() {
    sim::SimPtyOptions demoOptions;
    demoOptions.realtime = options_.demoRealtime;
    demo_ = std::make_unique<sim::SimServer>(sim::SimDevice{}, demoOptions);
    if (!demo_->Start()) {
        if (options_.reportError) {
            options_.reportError(QString::fromStdString(demo_->LastError()));
        }
        demo_.reset();
        return;
    }
    const std::string path = demo_->SlavePath();
    connect_->SetExtraPort({path, path, "Simulated QT40 (demo, " + path + ")"});
}

void CMainDlgDlg::ConnectDemoDevice() {
    if (!demo_) return;
    OpenPanel(CFunctionKeys::kConnect);
    controller_->SetPortName(demo_->SlavePath());
    controller_->SetLine(connect_->SelectedLine());
    controller_->ConnectDevice();
}

CPanel* CMainDlgDlg::PanelFor(int button) const {
    auto it = panelForButton_.find(button);
    return it == panelForButton_.end() ? nullptr : it->second;
}

bool CMainDlgDlg::ConnectedToQt40() {
    return controller_->Connected() && worker_.RecordSnapshot().deviceTypeName == kQT40ModelName;
}

void CMainDlgDlg::OpenPanel(int button) {
    if (button == CFunctionKeys::kExit) {
        close();
        return;
    }
    CPanel* panel = PanelFor(button);
    if (!panel) return;
    panel->Show(true);
    if (button == CFunctionKeys::kWireResistance) Submit(WorkerRequest::ReadWireResistance, true);
}

CommResult CMainDlgDlg::Submit(WorkerRequest code, bool polling) {
    if (FixedCurrentWatch::IsFixedCurrentRequest(code)) {
        fixedCurrent_.Submitted(
            code, worker_.WithSession([](DeviceState& s) { return s.writes.fixedCurrentText; }));
    }
    const CommResult result = worker_.SubmitRequest(code, polling);
    if (result == kCommSuccess) setEnabled(false);
    return result;
}

void CMainDlgDlg::RequestDone() {
    if (!controller_->ProgressShown()) setEnabled(true);
}

void CMainDlgDlg::ShowSensorInfo(bool show) { sensorInfo_->Show(show); }

void CMainDlgDlg::ShowMonitor(bool show) {
    const bool connected = controller_->Connected();
    // The monitor takes its place back from the trend graph.
    if (show && trend_) trend_->HideAndReset();
    display_->Show(show, connected);
    functions_->Show(show, connected, ConnectedToQt40());
}

void CMainDlgDlg::DisableFunctionKeys() { functions_->DisableAll(); }

void CMainDlgDlg::OpenTrendGraph(int column) {
    ShowMonitor(false);
    trend_->Open(display_->HeaderText(column),
                 QStringLiteral("(") + display_->UnitText(column) + QStringLiteral(")"));
}

void CMainDlgDlg::TrendGraphHidden(bool wasVisible) {
    display_->ClearTrendFlags();
    if (!wasVisible) return;
    for (const auto& entry : panelForButton_) {
        if (entry.second->isVisible()) entry.second->Show(false);
    }
    ShowMonitor(true);
}

void CMainDlgDlg::ShowTableGraph(const TableGraphSeries& series) {
    if (!tableGraph_->isVisible()) {
        // Hidden, not closed: its flag brings it back with the table graph's end.
        trend_->hide();
        ShowMonitor(false);
    }
    tableGraph_->Show(true);
    tableGraph_->SetLabels(series.title, series.yName, series.xName, series.yUnit);
    tableGraph_->SetRanges({series.xLower, series.xUpper}, {series.yLower, series.yUpper});
    tableGraph_->PlotTable(series.x, series.y);
}

void CMainDlgDlg::HideTableGraph() {
    if (!tableGraph_->isVisible()) return;
    if (display_->TrendColumn()) {
        trend_->Show(true);
    } else {
        // The table panel that opened the graph is still open.
        ShowMonitor(true);
        functions_->DisableAll();
    }
    tableGraph_->Show(false);
}

void CMainDlgDlg::CloseTableGraph() {
    for (const auto& entry : panelForButton_) entry.second->TableGraphClosed();
    HideTableGraph();
}

bool CMainDlgDlg::event(QEvent* e) {
    if (e->type() == WorkerEvent::EventType()) {
        auto* worker = static_cast<WorkerEvent*>(e);
        // Left over from a worker stopped since: it belongs to no connection now.
        if (worker->notification.run != worker_.RunNumber()) return true;
        Dispatch(worker->receiver, worker->notification);
        return true;
    }
    return QWidget::event(e);
}

void CMainDlgDlg::Dispatch(int receiver, const Notification& n) {
    if (n.kind == NotificationKind::Completion &&
        (FixedCurrentWatch::IsFixedCurrentRequest(n.request) ||
         n.request == WorkerRequest::MasterReset)) {
        fixedCurrent_.Observe(
            n, worker_.WithSession([](DeviceState& s) { return s.writes.fixedCurrentText; }));
    }
    // The window's own level 0 goes before any panel.
    if (release_ && release_->Sending() &&
        release_->HandleNotification(n) != ProcedureStep::NotMine) {
        return;
    }
    auto it = panelForReceiver_.find(receiver);
    if (it != panelForReceiver_.end() && it->second->HandleNotification(n)) return;
    PassToMainWindow(n);
}

void CMainDlgDlg::PassToMainWindow(const Notification& n) {
    if (n.kind == NotificationKind::WorkerEnded) setEnabled(true);
    if (!controller_->HandleNotification(n) && n.kind != NotificationKind::Progress) {
        // A completion no panel took: the window takes clicks again.
        if (!controller_->ProgressShown()) setEnabled(true);
    }
}

void CMainDlgDlg::RefreshLiveDisplay() {
    const DeviceRecord r = worker_.RecordSnapshot();
    // Unit labels follow the device once one is connected; before that the
    // built-in ones stand.
    if (controller_->Connected()) {
        display_->SetUnits(UnitName(r.pvUnit), UnitName(r.svUnit), UnitName(r.loopCurrentUnit));
    }
    display_->TakeRange(r.upperRange, r.lowerRange);
    display_->Refresh(
        {r.pvValue, r.percentOfRange, r.svValue, r.loopCurrent, controller_->Connected()});
}

void CMainDlgDlg::ShowDeviceInTitle() {
    QString title = Caption();
    if (controller_->Connected()) {
        const DeviceRecord r = worker_.RecordSnapshot();
        title = QString::fromStdString(
            FormatMessageText(texts_.UIMsg("Title_Connected"),
                              {Caption().toStdString(), DeviceNameForTitle(r.tag, r.deviceIdText),
                               static_cast<long long>(r.pollingAddress), controller_->PortName()}));
    }
    if (windowTitle() != title) setWindowTitle(title);
}

void CMainDlgDlg::ApplyLanguage(bool first) {
    try {
        texts_.Load(settings_.displayLanguage);
    } catch (const CPrivateException& e) {
        const QString text = QString::fromStdString(e.Text());
        if (options_.reportError) {
            options_.reportError(text);
        } else {
            QMessageBox::critical(this, QCoreApplication::applicationName(), text);
        }
    }
    // Message-box buttons and file dialogs follow the chosen language.
    qtTexts_.Follow(settings_.displayLanguage);
    texts_.Relabel(kDialogId, this);
    ShowDeviceInTitle();
    if (first) return;
    // Every other window of ours (the traffic window, the loop check kept
    // between openings) relabels itself on this event, open or not. Qt sends
    // it only when its own translation changes, which English to a language
    // Qt has no texts for does not.
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w == this) continue;
        QEvent changed(QEvent::LanguageChange);
        QCoreApplication::sendEvent(w, &changed);
    }
    signal_->Show(false);
    signal_->Show(true);
    if (!sensorInfo_->isVisible()) {
        // Another panel holds the column; it relabels itself when shown again.
        ShowMonitor(true);
        functions_->DisableAll();
        return;
    }
    sensorInfo_->hide();
    sensorInfo_->Show(true);
}

void CMainDlgDlg::ShowProgress(ProgressKind kind, const std::string& textKey) {
    setEnabled(false);
    CProgressWindow* window = kind == ProgressKind::Search ? search_.get() : upload_.get();
    window->Start(QString::fromStdString(texts_.ProgressMsg(textKey)),
                  kind == ProgressKind::Search ? controller_->PollingAddress() : -1);
}

void CMainDlgDlg::HideProgress(ProgressKind kind) {
    setEnabled(true);
    (kind == ProgressKind::Search ? search_ : upload_)->hide();
}

void CMainDlgDlg::SetProgress(float percent, int address) {
    if (address >= 0) {
        search_->SetProgress(percent, address);
    } else {
        upload_->SetProgress(percent, -1);
    }
}

void CMainDlgDlg::MarkCommFailure() { signal_->MarkFailure(); }

void CMainDlgDlg::ConnectionEstablished() {
    RefreshLiveDisplay();
    ShowDeviceInTitle();
}

void CMainDlgDlg::ConnectionClosed() {
    setEnabled(true);
    // Nothing on screen may look like a reading now.
    if (display_) RefreshLiveDisplay();
    if (signal_) signal_->ShowOffline();
    ShowDeviceInTitle();
    ClearTrendSelections();
    fixedCurrent_.Forget();
    if (sensorInfo_ && sensorInfo_->isVisible()) {
        sensorInfo_->Show(true);
        ShowMonitor(true);
    }
}

void CMainDlgDlg::AddressChanged(int address) {
    settings_.pollingAddr = std::to_string(address);
    settings_.Save();
    connect_->ShowAddress(address);
    ShowDeviceInTitle();
}

void CMainDlgDlg::PollCompleted(int /*result*/) {
    setEnabled(true);
    const std::uint8_t status = worker_.WithSession([](DeviceState& s) { return s.link.deviceStatus; });
    signal_->DeviceStatusRefresh(status);
    // A running trend takes the value of its column; the bars wait meanwhile.
    const auto column = display_->TrendColumn();
    if (trend_->Running() && column) {
        trend_->AddSample(ColumnValue(worker_.RecordSnapshot(), *column));
    } else {
        RefreshLiveDisplay();
    }
    ShowDeviceInTitle();  // a tag written meanwhile shows at once
    if (auto* addStatus = findChild<CAddStatus*>(); addStatus && addStatus->isVisible()) {
        addStatus->Recolour();
    }
}

void CMainDlgDlg::ClearTrendSelections() {
    if (display_) display_->ClearTrendFlags();
}

void CMainDlgDlg::OfferToLeaveFixedCurrent() {
    if (!controller_->Connected() || !worker_.Running() || !fixedCurrent_.LevelSet()) return;
    const Answer answer =
        prompts_->Message("Confr_Leave_Fixed_Current", {FormatFixed(fixedCurrent_.Level(), 3, 4)},
                          BoxType::YesNoQuestion);
    if (answer != Answer::Yes) return;
    LeaveFixedCurrent();
}

void CMainDlgDlg::DacTrimmed(bool upper, const std::string& measuredText) {
    auto* analog = dynamic_cast<CAnalogOP*>(PanelFor(CFunctionKeys::kAnalogOutput));
    if (analog && analog->LoopCheck()) analog->LoopCheck()->RecordTrim(upper, measuredText);
}

void CMainDlgDlg::LeaveFixedCurrent() {
    if (!controller_->Connected() || !worker_.Running()) return;
    if (!fixedCurrent_.LevelSet() && !fixedCurrent_.LevelPending()) return;
    if (!release_) {
        // A code of its own (command 40 at level 0, as the trim's close):
        // the answer to a level still on its way is never taken for its own.
        releaseHost_ = std::make_unique<PanelProcedureHost>(*this);
        release_ =
            std::make_unique<LevelRelease>(worker_, *releaseHost_, WorkerRequest::LeaveFixedLevel);
    }
    if (release_->Start() != kCommSuccess) return;
    // Until the device has answered (or the release has given up, or the
    // line is gone); the window keeps painting, input waits.
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!release_->Sending() || !controller_->Connected()) loop.quit();
    });
    poll.start(20);
    QTimer::singleShot(kLeaveFixedWaitMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    release_->Reset();
    RequestDone();
}

void CMainDlgDlg::EndOnSignal(bool quit) {
    // A second request while the first one's release runs changes nothing.
    if (closing_ || endingOnSignal_) return;
    endingOnSignal_ = true;
    // A question box may hold the worker paused: level 0 must go out now.
    worker_.SetPause(false);
    for (const auto& entry : panelForButton_) entry.second->BeforeWindowCloses();
    LeaveFixedCurrent();
    endingOnSignal_ = false;
    if (!quit) return;  // the session's end: the system ends the program
    Shutdown();
    QCoreApplication::exit(0);
}

void CMainDlgDlg::Shutdown() {
    closing_ = true;
    if (traffic_) traffic_->close();
    hide();
    worker_.StopWorker();
}

void CMainDlgDlg::FixedCurrentNoticeGiven() { fixedNoticeRun_ = worker_.RunNumber(); }

bool CMainDlgDlg::ConfirmFixedCurrent(const std::string& level) {
    if (fixedNoticeRun_ == worker_.RunNumber()) return true;
    if (prompts_->Message("Confr_Fixed_Current_Manual", {level}, BoxType::OkCancelWarning) !=
        Answer::Ok) {
        return false;
    }
    fixedNoticeRun_ = worker_.RunNumber();
    return true;
}

void CMainDlgDlg::OpenTraffic() {
    if (!traffic_) {
        traffic_ = std::make_unique<CTrafficWindow>(recorder_, texts_, *prompts_,
                                                    [this] { return link_.PortName(); });
        traffic_->setWindowIcon(windowIcon());
    }
    traffic_->Open();
}

void CMainDlgDlg::ShowAbout() {
    QMessageBox box(this);
    box.setWindowTitle("QT40CFG");
    box.setText(QStringLiteral("QT40CFG Version ") + QStringLiteral(QT40_PRODUCT_VERSION));
    box.setIconPixmap(windowIcon().pixmap(32, 32));
    box.exec();
}

void CMainDlgDlg::keyPressEvent(QKeyEvent* e) {
    // Enter and Escape never close the window.
    if (e->key() == Qt::Key_F1) {
        ShowAbout();
        return;
    }
    e->accept();
}

void CMainDlgDlg::closeEvent(QCloseEvent* e) {
    if (closing_) {
        e->accept();
        return;
    }
    const Answer answer = prompts_->MessageWithCaption("Apllication_Close", {},
                                                       BoxType::YesNoQuestion,
                                                       Caption().toStdString());
    if (answer != Answer::Yes) {
        worker_.SetPause(false);
        e->ignore();
        return;
    }
    for (const auto& entry : panelForButton_) entry.second->BeforeWindowCloses();
    OfferToLeaveFixedCurrent();
    Shutdown();
    e->accept();
}

}  // namespace qt40
