#pragma once
// An event that releases one waiter and resets itself.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace qt40 {

class AutoResetEvent {
public:
    void Set() {
        {
            std::lock_guard lock(mutex_);
            signalled_ = true;
        }
        cv_.notify_one();
    }

    // True when signalled within `timeoutMs`; a negative time-out waits without limit.
    bool Wait(int timeoutMs = -1) {
        std::unique_lock lock(mutex_);
        const auto ready = [&] { return signalled_; };
        if (timeoutMs < 0) {
            cv_.wait(lock, ready);
        } else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
            return false;
        }
        signalled_ = false;
        return true;
    }

    void Reset() {
        std::lock_guard lock(mutex_);
        signalled_ = false;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool signalled_ = false;
};

}  // namespace qt40
