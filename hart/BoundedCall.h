#pragma once
// A call into a driver that may never return (tcdrain on a USB adapter that
// has stalled, FlushFileBuffers): it runs on a thread of its own and is
// waited for a bounded time, so a stuck adapter fails the exchange instead of
// hanging the worker. A call that has not returned is not started again.

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace qt40 {

class BoundedCall {
public:
    enum class Outcome {
        Returned,      // `result` holds what the call returned
        TimedOut,      // still running after the limit; it is left to return
        StillRunning,  // an earlier call has not returned: not started
    };

    // Runs `call` and waits at most `limitMs` of real time for it.
    Outcome Run(std::function<int()> call, int limitMs, int& result);
    // True while an earlier call has not returned.
    bool Running() const;

private:
    struct State {
        std::mutex mutex;
        std::condition_variable returned;
        bool running = false;
        int result = 0;
    };
    // Shared with the thread, which may outlive this object.
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace qt40
