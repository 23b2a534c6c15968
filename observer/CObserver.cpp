#include "observer/CObserver.h"

#include <algorithm>

#include "observer/CObservable.h"

namespace qt40 {

CObserver::~CObserver() {
    // Detach modifies subjects_, so take the list first.
    const std::vector<CObservable*> subjects = subjects_;
    for (CObservable* subject : subjects) subject->Detach(this);
}

bool CObserver::IsAttachedTo(const CObservable* subject) const {
    return std::find(subjects_.begin(), subjects_.end(), subject) != subjects_.end();
}

}  // namespace qt40
