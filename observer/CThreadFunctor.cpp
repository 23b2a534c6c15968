#include "observer/CThreadFunctor.h"

namespace qt40 {

CThreadFunctor::CThreadFunctor(std::shared_ptr<ThreadInterface> thread)
    : thread_(std::move(thread)) {}

CThreadFunctor::~CThreadFunctor() {
    // The run notifies through this object: it must end while we still exist.
    if (thread_ && thread_.use_count() == 1) thread_->Wait();
}

}  // namespace qt40
