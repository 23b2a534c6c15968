#include "observer/CObserverProxyUI.h"

#include <QCoreApplication>
#include <QEvent>

namespace qt40 {

namespace {

class UpdateEvent : public QEvent {
public:
    explicit UpdateEvent(CObservable* subject)
        : QEvent(static_cast<QEvent::Type>(CObserverProxyUI::UpdateEventType())),
          subject_(subject) {}
    CObservable* Subject() const { return subject_; }

private:
    CObservable* subject_;
};

}  // namespace

CObserverProxyUI::CObserverProxyUI(QObject* parent) : QObject(parent) {}

int CObserverProxyUI::UpdateEventType() {
    static const int type = QEvent::registerEventType();
    return type;
}

void CObserverProxyUI::Update(CObservable* subject) {
    QCoreApplication::postEvent(this, new UpdateEvent(subject));
}

bool CObserverProxyUI::event(QEvent* event) {
    if (event->type() != UpdateEventType()) return QObject::event(event);
    CObservable* subject = static_cast<UpdateEvent*>(event)->Subject();
    // A subject destroyed or detached since the post is gone: its pointer
    // must not reach observers that would downcast it.
    if (IsAttachedTo(subject)) Notify(subject);
    return true;
}

}  // namespace qt40
