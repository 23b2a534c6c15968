#pragma once
// The end of a socket wait, on the steady clock.

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace qt40 {

class SocketDeadline {
public:
    // `ms` from now; a negative time-out is none at all.
    explicit SocketDeadline(int ms)
        : at_(std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(ms, 0))) {}

    // Whole milliseconds still to go, 0 once passed.
    int MsLeft() const {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            at_ - std::chrono::steady_clock::now());
        return static_cast<int>(std::max<std::int64_t>(left.count(), 0));
    }

private:
    std::chrono::steady_clock::time_point at_;
};

}  // namespace qt40
