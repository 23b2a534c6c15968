#include "observer/CObservable.h"

#include <algorithm>

#include "observer/CObserver.h"

namespace qt40 {

namespace {

template <typename T>
void Erase(std::vector<T*>& list, const T* item) {
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

}  // namespace

CObservable::CObservable(const CObservable& other) {
    for (CObserver* observer : other.observers_) Attach(observer);
}

CObservable& CObservable::operator=(const CObservable& other) {
    if (this == &other) return *this;
    const std::vector<CObserver*> taken = other.observers_;
    for (CObserver* observer : taken) Attach(observer);
    return *this;
}

CObservable::~CObservable() {
    for (CObserver* observer : observers_) Erase(observer->subjects_, this);
}

void CObservable::Attach(CObserver* observer) {
    if (observer == nullptr) return;
    if (std::find(observers_.begin(), observers_.end(), observer) != observers_.end()) return;
    observers_.push_back(observer);
    observer->subjects_.push_back(this);
}

void CObservable::Detach(CObserver* observer) {
    if (observer == nullptr) return;
    Erase(observers_, observer);
    Erase(observer->subjects_, static_cast<const CObservable*>(this));
}

void CObservable::Notify(CObservable* subject) {
    CObservable* const source = subject != nullptr ? subject : this;
    // Walk a copy: an Update may attach or detach observers.
    const std::vector<CObserver*> snapshot = observers_;
    for (CObserver* observer : snapshot) {
        if (std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) continue;
        observer->Update(source);
    }
}

}  // namespace qt40
