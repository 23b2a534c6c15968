// The clocks' waits: a manual clock's sleepers and waiters end exactly when a
// test moves the time to their deadlines, and tell the test when they wait.
#include "base/Clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace qt40 {
namespace {

// A thread waiting on `clock` until `deadline` or until told to stop.
struct Waiter {
    Waiter(Clock& clock, std::int64_t deadline) {
        thread = std::thread([this, &clock, deadline] {
            std::unique_lock lock(mutex);
            ready = clock.WaitUntil(lock, cv, deadline, [this] { return stop; });
            endedAt = clock.NowMs();
            ended = true;
        });
    }
    ~Waiter() {
        Stop();
        Join();
    }
    void Join() {
        if (thread.joinable()) thread.join();
    }
    void Stop() {
        {
            std::lock_guard lock(mutex);
            stop = true;
        }
        cv.notify_all();
    }
    std::mutex mutex;
    std::condition_variable cv;
    bool stop = false;
    std::atomic<bool> ended{false};
    std::atomic<bool> ready{false};
    std::atomic<std::int64_t> endedAt{0};
    std::thread thread;
};

TEST(ManualClockTest, EachSleepAndWaitEndsWhenTheTimeReachesItsDeadline) {
    ManualClock clock;
    const std::int64_t t0 = clock.NowMs();
    std::atomic<std::int64_t> sleptUntil{0};
    std::thread sleeper([&] {
        clock.SleepMs(30);
        sleptUntil = clock.NowMs();
    });
    Waiter waiter(clock, t0 + 20);
    Waiter stopped(clock, t0 + 1000);
    // Steps of 10: after each, the threads still due have seen the time and wait again.
    const struct {
        int advanceMs;
        int asleep;
        bool waiterEnded, sleeperEnded;
    } steps[] = {{0, 3, false, false}, {10, 3, false, false}, {9, 3, false, false},
                 {1, 2, true, false},  {9, 2, true, false},   {1, 1, true, true}};
    for (const auto& step : steps) {
        SCOPED_TRACE(clock.NowMs() - t0 + step.advanceMs);
        clock.Advance(step.advanceMs);
        EXPECT_TRUE(clock.AwaitSleepers(step.asleep));
        EXPECT_FALSE(clock.AwaitSleepers(step.asleep + 1, 30));
        if (step.waiterEnded) waiter.Join();
        EXPECT_EQ(waiter.ended, step.waiterEnded);
        if (step.sleeperEnded) sleeper.join();
    }
    EXPECT_FALSE(waiter.ready);
    EXPECT_EQ(waiter.endedAt, t0 + 20);
    EXPECT_EQ(sleptUntil, t0 + 30);
    // A wait whose condition comes true ends without the time moving.
    stopped.Stop();
    stopped.Join();
    EXPECT_TRUE(stopped.ready);
    EXPECT_EQ(stopped.endedAt, t0 + 30);
    EXPECT_FALSE(clock.AwaitSleepers(1, 30));
}

TEST(ManualClockTest, APollerCountsAsAsleepOnlyAfterALookBegunSinceTheCall) {
    ManualClock clock;
    std::mutex m;
    std::condition_variable cv;
    bool looping = false;
    bool stop = false;
    bool idle = false;
    std::thread poller([&] {
        ClockPoller poll(clock);
        std::unique_lock lock(m);
        poll.NowMs();
        poll.Idle();
        idle = true;
        cv.notify_all();
        // Then looks again only when let, as a socket watcher does between its real waits.
        cv.wait(lock, [&] { return looping || stop; });
        while (!stop) {
            poll.NowMs();
            poll.Idle();
            cv.wait_for(lock, std::chrono::milliseconds(1), [&] { return stop; });
        }
    });
    {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return idle; });
    }
    // Idle, but after a look made before the call: what it has not looked at
    // since (a message that came meanwhile) may still be waiting for it.
    EXPECT_FALSE(clock.AwaitSleepers(1, 30));
    {
        std::lock_guard lock(m);
        looping = true;
    }
    cv.notify_all();
    EXPECT_TRUE(clock.AwaitSleepers(1));
    clock.Advance(5);
    EXPECT_TRUE(clock.AwaitSleepers(1));
    {
        std::lock_guard lock(m);
        stop = true;
    }
    cv.notify_all();
    poller.join();
    EXPECT_FALSE(clock.AwaitSleepers(1, 30));
}

TEST(ClockTest, AWaitOnTheOtherClocksEndsAtItsDeadlineOrWhenReady) {
    SteadyClock steady;
    VirtualClock virtualClock;
    for (Clock* clock : std::initializer_list<Clock*>{&steady, &virtualClock}) {
        std::mutex m;
        std::condition_variable cv;
        std::unique_lock lock(m);
        // Ready at once: no wait.
        const std::int64_t before = clock->NowMs();
        EXPECT_TRUE(clock->WaitUntil(lock, cv, before + 60000, [] { return true; }));
        // A deadline passed: no wait either.
        EXPECT_FALSE(clock->WaitUntil(lock, cv, before - 1, [] { return false; }));
        EXPECT_LT(clock->NowMs(), before + 60000);
        // Never ready: the clock reaches the deadline.
        const std::int64_t deadline = clock->NowMs() + 15;
        EXPECT_FALSE(clock->WaitUntil(lock, cv, deadline, [] { return false; }));
        EXPECT_GE(clock->NowMs(), deadline);
        EXPECT_TRUE(lock.owns_lock());
    }
}

}  // namespace
}  // namespace qt40
