#include "BoundedCall.h"

#include <chrono>
#include <system_error>
#include <thread>

namespace qt40 {

BoundedCall::Outcome BoundedCall::Run(std::function<int()> call, int limitMs, int& result) {
    std::shared_ptr<State> state = state_;
    std::unique_lock lock(state->mutex);
    if (state->running) return Outcome::StillRunning;
    state->running = true;
    auto task = std::make_shared<std::function<int()>>(std::move(call));
    try {
        std::thread([state, task] {
            const int r = (*task)();
            const std::lock_guard done(state->mutex);
            state->result = r;
            state->running = false;
            state->returned.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: make the call here rather than not at all.
        state->running = false;
        lock.unlock();
        result = (*task)();
        return Outcome::Returned;
    }
    if (!state->returned.wait_for(lock, std::chrono::milliseconds(limitMs > 0 ? limitMs : 0),
                                  [&] { return !state->running; })) {
        return Outcome::TimedOut;
    }
    result = state->result;
    return Outcome::Returned;
}

bool BoundedCall::Running() const {
    const std::lock_guard lock(state_->mutex);
    return state_->running;
}

}  // namespace qt40
