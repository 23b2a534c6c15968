#pragma once
// Observer of the observer pair; detaches itself from every subject when it
// is destroyed.

#include <vector>

namespace qt40 {

class CObservable;

class CObserver {
public:
    CObserver() = default;
    // Attachments belong to one object; a copy starts unattached.
    CObserver(const CObserver&) {}
    CObserver& operator=(const CObserver&) { return *this; }
    virtual ~CObserver();

    // Called once per notification with the subject that notified. Concrete
    // observers tell sources apart by a dynamic_cast and ignore the others.
    virtual void Update(CObservable* subject) = 0;

    const std::vector<CObservable*>& Subjects() const { return subjects_; }
    bool IsAttachedTo(const CObservable* subject) const;

private:
    friend class CObservable;
    std::vector<CObservable*> subjects_;
};

}  // namespace qt40
