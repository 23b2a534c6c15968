#pragma once
// Subject of the observer pair. Attachment is mutual: subject and observer
// each list the other once. Lists change on the user-interface thread only.

#include <vector>

namespace qt40 {

class CObserver;

class CObservable {
public:
    CObservable() = default;
    // A copy notifies the same observers as the original.
    CObservable(const CObservable& other);
    CObservable& operator=(const CObservable& other);
    virtual ~CObservable();

    void Attach(CObserver* observer);
    void Detach(CObserver* observer);
    // Calls Update on every attached observer in attachment order, passing
    // `subject`, or this object when `subject` is null. Runs on the calling
    // thread. An observer detached by an earlier one's Update is skipped.
    void Notify(CObservable* subject = nullptr);

    const std::vector<CObserver*>& Observers() const { return observers_; }

private:
    friend class CObserver;
    std::vector<CObserver*> observers_;
};

}  // namespace qt40
