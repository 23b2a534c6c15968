#pragma once
// Carries notifications from any thread into the thread this object lives in
// (the user-interface thread): as an observer it only posts an event to
// itself; when the event loop delivers it, it notifies its own observers with
// the original subject.

#include <QObject>

#include "observer/CObservable.h"
#include "observer/CObserver.h"

namespace qt40 {

class CObserverProxyUI : public QObject, public CObservable, public CObserver {
    Q_OBJECT
public:
    explicit CObserverProxyUI(QObject* parent = nullptr);

    // Thread-safe: posts one event, calls nobody.
    void Update(CObservable* subject) override;

    // The event type all proxies post, registered once per process.
    static int UpdateEventType();

protected:
    bool event(QEvent* event) override;
};

}  // namespace qt40
