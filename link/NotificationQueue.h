#pragma once
// A notification sink that queues for a thread of the caller's choosing: the
// command-line tool's loop and the tests read from it.

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include "link/NotificationSink.h"

namespace qt40 {

struct QueuedNotification {
    int receiver = 0;
    Notification notification;
};

class NotificationQueue final : public NotificationSink {
public:
    void Post(int receiver, const Notification& notification) override {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back({receiver, notification});
        }
        ready_.notify_all();
    }

    // The next notification, or nothing after `timeoutMs` (real time).
    std::optional<QueuedNotification> WaitNext(int timeoutMs) {
        std::unique_lock lock(mutex_);
        if (!ready_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return !queue_.empty(); })) {
            return std::nullopt;
        }
        QueuedNotification next = queue_.front();
        queue_.pop_front();
        return next;
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<QueuedNotification> queue_;
};

}  // namespace qt40
