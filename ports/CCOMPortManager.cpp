#include "ports/CCOMPortManager.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QDir>
#include <QFileSystemWatcher>

#include "observer/ThreadClassFuncProxy.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace qt40 {

namespace {

#ifdef Q_OS_WIN
// Device arrivals and removals and settings changes are broadcast to every
// top-level window; the application sees them all here.
class BroadcastFilter : public QAbstractNativeEventFilter {
public:
    explicit BroadcastFilter(CCOMPortManager* manager) : manager_(manager) {}
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType == "windows_generic_MSG") {
            const MSG* msg = static_cast<const MSG*>(message);
            if (msg->message == WM_DEVICECHANGE || msg->message == WM_SETTINGCHANGE) {
                manager_->DeviceChanged();
            }
        }
        return false;
    }

private:
    CCOMPortManager* manager_;
};
#endif

}  // namespace

CCOMPortManager::CCOMPortManager(QObject* parent)
    : CCOMPortManager(CCOMPortEnumerator::SystemPorts, true, parent) {}

CCOMPortManager::CCOMPortManager(CCOMPortEnumerator::Source source, bool watchSystem,
                                 QObject* parent)
    : QObject(parent),
      enumerator_(std::move(source)),
      functor_(MakeThreadFunctor(&enumerator_, &CCOMPortEnumerator::Enumerate)) {
    proxy_.Attach(this);
    functor_.Attach(&proxy_);
    debounce_.setSingleShot(true);
    debounce_.setInterval(kDebounceMilliseconds);
    connect(&debounce_, &QTimer::timeout, this, &CCOMPortManager::DebounceExpired);
    if (watchSystem) WatchSystem();
}

CCOMPortManager::~CCOMPortManager() {
#ifdef Q_OS_WIN
    if (nativeFilter_ && QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(nativeFilter_.get());
    }
#endif
    functor_.Wait();
}

void CCOMPortManager::WatchSystem() {
#ifdef Q_OS_WIN
    nativeFilter_ = std::make_unique<BroadcastFilter>(this);
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->installNativeEventFilter(nativeFilter_.get());
    }
#else
    // Serial adapters appear and vanish as nodes in /dev.
    if (QDir("/dev").exists()) {
        watcher_ = std::make_unique<QFileSystemWatcher>(QStringList{"/dev"});
        connect(watcher_.get(), &QFileSystemWatcher::directoryChanged, this,
                &CCOMPortManager::DeviceChanged);
    }
#endif
}

void CCOMPortManager::Refresh() {
    if (!functor_.Start(&functor_)) debounce_.start();
}

void CCOMPortManager::DeviceChanged() {
    debounce_.start();
}

void CCOMPortManager::DebounceExpired() {
    if (functor_.IsRunning()) {
        debounce_.start();
        return;
    }
    debounce_.stop();
    Refresh();
}

void CCOMPortManager::Update(CObservable* subject) {
    if (dynamic_cast<CThreadFunctor*>(subject) != &functor_) return;
    // The run has returned: its list is complete and no longer written.
    ports_ = enumerator_.Ports();
    Notify(this);
}

}  // namespace qt40
