#pragma once
// Runs a piece of work that waits on a ManualClock (an exchange, a close) on a
// thread of its own, and moves the clock on whenever every thread the test
// expects waits on it: the server, each open client's keeper and the work
// itself. What the work took is counted on the clock, not in real time.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <future>
#include <utility>

#include "base/Clock.h"

namespace qt40::testing {

template <class T>
struct Clocked {
    T result;
    std::int64_t tookMs = 0;  // on the clock
};

// `sleepers` counts the work's own thread while it waits. The clock moves by
// `stepMs` at a time; past `limitMs` in all, the test fails.
template <class F>
auto OnManualClock(ManualClock& clock, int sleepers, int stepMs, F work, int limitMs = 60000)
    -> Clocked<decltype(work())> {
    const std::int64_t start = clock.NowMs();
    std::atomic<bool> ended{false};
    auto done = std::async(std::launch::async, [&ended, work = std::move(work)]() mutable {
        auto result = work();
        ended = true;
        return result;
    });
    bool late = false;
    while (!ended) {
        if (!late && clock.NowMs() - start >= limitMs) {
            ADD_FAILURE() << "still waiting after " << limitMs << " ms on the clock";
            late = true;
        }
        if (clock.AwaitSleepers(sleepers, 10000, [&] { return ended.load(); })) {
            clock.Advance(stepMs);
        }
    }
    Clocked<decltype(work())> out{done.get(), 0};
    out.tookMs = clock.NowMs() - start;
    return out;
}

}  // namespace qt40::testing
