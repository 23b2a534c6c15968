#pragma once
// Keeps the serial port list current: enumerates on a thread of its own,
// hands the finished list over to the user-interface thread and notifies its
// observers there (with itself as the subject). Device changes re-run the
// enumeration after 200 ms without further changes.

#include <QObject>
#include <QTimer>
#include <memory>
#include <vector>

#include "observer/CObservable.h"
#include "observer/CObserver.h"
#include "observer/CObserverProxyUI.h"
#include "observer/CThreadFunctor.h"
#include "ports/CCOMPortEnumerator.h"

class QFileSystemWatcher;
class QAbstractNativeEventFilter;

namespace qt40 {

class CCOMPortManager : public QObject, public CObserver, public CObservable {
    Q_OBJECT
public:
    static constexpr int kDebounceMilliseconds = 200;

    // The system's ports, re-listed when devices come and go.
    explicit CCOMPortManager(QObject* parent = nullptr);
    // Ports from `source`; with `watchSystem` false only DeviceChanged
    // triggers a re-listing.
    CCOMPortManager(CCOMPortEnumerator::Source source, bool watchSystem, QObject* parent = nullptr);
    ~CCOMPortManager() override;

    // Starts an enumeration now, or, while one runs, once it has ended.
    void Refresh();
    // The list of the last finished enumeration.
    std::vector<PortEntry> GetPorts() const { return ports_; }

    // A device or settings change: (re)starts the debounce timer.
    void DeviceChanged();
    // The debounce timer's expiry: enumerates unless a run is still going,
    // in which case it tries again one period later. Public so tests can
    // fire it at a chosen moment.
    void DebounceExpired();

    bool IsRefreshPending() const { return debounce_.isActive(); }
    bool IsEnumerating() const { return functor_.IsRunning(); }

    void Update(CObservable* subject) override;

private:
    void WatchSystem();

    CCOMPortEnumerator enumerator_;
    CObserverProxyUI proxy_;
    // Declared after what its thread uses, so it is destroyed (and waits for
    // the thread) first.
    CThreadFunctor functor_;
    QTimer debounce_;
    std::vector<PortEntry> ports_;
    std::unique_ptr<QFileSystemWatcher> watcher_;
    std::unique_ptr<QAbstractNativeEventFilter> nativeFilter_;
};

}  // namespace qt40
