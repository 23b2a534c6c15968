#pragma once
// Worker notifications travel to the window thread as posted Qt events, in
// the order the worker posted them.

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>

#include "link/NotificationSink.h"

namespace qt40 {

class WorkerEvent : public QEvent {
public:
    WorkerEvent(int receiver, const Notification& n)
        : QEvent(EventType()), receiver(receiver), notification(n) {}

    static QEvent::Type EventType() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    int receiver;
    Notification notification;
};

// Posts every notification to one object living on the window thread.
class QtNotificationSink final : public NotificationSink {
public:
    explicit QtNotificationSink(QObject* target) : target_(target) {}
    void Post(int receiver, const Notification& n) override {
        QCoreApplication::postEvent(target_, new WorkerEvent(receiver, n));
    }

private:
    QObject* target_;  // outlives the worker: the main window stops it before it goes
};

}  // namespace qt40
