#pragma once
// The link measures and waits only through a clock, so that tests can run a
// three-second carrier time-out without spending three seconds.
//
// Besides now and sleep, a clock gives the waits of threads that wait for
// something else as well: a condition variable with a deadline on the clock
// (WaitUntil), and sockets, which are watched in real time but end their wait
// by the clock (RealWaitFor and ClockPoller).

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <limits>
#include <list>
#include <mutex>
#include <thread>

namespace qt40 {

class ClockPoller;

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t NowMs() = 0;
    virtual void SleepMs(int ms) = 0;

    // Waits on `cv`, whose mutex `lock` holds, until `ready()` or until the
    // clock reaches `deadlineMs`; true when ready. As with any condition
    // variable, whoever makes `ready` true does so under the mutex and
    // notifies `cv`.
    template <class Ready>
    bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                   std::int64_t deadlineMs, Ready ready) {
        const Predicate predicate{[](const void* f) { return (*static_cast<const Ready*>(f))(); },
                                  &ready};
        return Wait(lock, cv, deadlineMs, predicate);
    }

    // How a socket is watched for `ms` of this clock. A clock of real time,
    // or one that moves only when slept on, watches it all that time and the
    // socket's time-out ends the wait; a clock that tests move watches it in
    // short real slices, and only the clock ends the wait.
    struct RealWait {
        int ms;
        bool ends;  // a time-out of the socket ends the wait
    };
    virtual RealWait RealWaitFor(int ms) { return {ms, true}; }

protected:
    struct Predicate {
        bool (*call)(const void*);
        const void* object;
        bool operator()() const { return call(object); }
    };
    // A clock that only knows how to sleep waits in short sleeps of its own,
    // looking at `ready` between them.
    virtual bool Wait(std::unique_lock<std::mutex>& lock, std::condition_variable&,
                      std::int64_t deadlineMs, Predicate ready) {
        for (;;) {
            if (ready()) return true;
            const std::int64_t left = deadlineMs - NowMs();
            if (left <= 0) return false;
            lock.unlock();
            SleepMs(static_cast<int>(std::min<std::int64_t>(left, 10)));
            lock.lock();
        }
    }

    // A thread that watches sockets and reads the clock between its real
    // waits (ClockPoller); only a clock that tests move takes note.
    friend class ClockPoller;
    virtual std::uintptr_t BeginPolling() { return 0; }
    virtual std::int64_t PollNow(std::uintptr_t) { return NowMs(); }
    virtual void PollIdle(std::uintptr_t) {}
    virtual void EndPolling(std::uintptr_t) {}
};

// Marks the thread that holds it as one that waits for sockets in short real
// waits and makes its timer decisions by `clock`: NowMs() is the read those
// decisions are made on, Idle() says that nothing was done since that read
// (no timer acted, a real wait found nothing). A ManualClock counts the thread
// as asleep from Idle() to its next read.
class ClockPoller {
public:
    explicit ClockPoller(Clock& clock) : clock_(clock), id_(clock.BeginPolling()) {}
    ~ClockPoller() { clock_.EndPolling(id_); }
    ClockPoller(const ClockPoller&) = delete;
    ClockPoller& operator=(const ClockPoller&) = delete;

    std::int64_t NowMs() { return clock_.PollNow(id_); }
    void Idle() { clock_.PollIdle(id_); }

private:
    Clock& clock_;
    const std::uintptr_t id_;
};

class SteadyClock final : public Clock {
public:
    std::int64_t NowMs() override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    void SleepMs(int ms) override {
        if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }

protected:
    bool Wait(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
              std::int64_t deadlineMs, Predicate ready) override {
        const std::chrono::steady_clock::time_point deadline{std::chrono::milliseconds(deadlineMs)};
        return cv.wait_until(lock, deadline, ready);
    }
};

// Time that passes only when someone sleeps: a time-out costs nothing and is
// exact to the millisecond. For tests and single-threaded measurements.
class VirtualClock final : public Clock {
public:
    std::int64_t NowMs() override { return now_; }
    void SleepMs(int ms) override {
        if (ms > 0) now_ += ms;
    }
    void Advance(int ms) { now_ += ms; }

private:
    std::atomic<std::int64_t> now_{1'000'000};
};

// Time that passes only when a test moves it, for code with threads of its
// own. A sleep, or a wait on the clock, lasts until Advance moves the time to
// its deadline (a wait also ends when its condition is met); a thread that
// watches sockets (ClockPoller) looks at the time every kRealSliceMs. So that
// an Advance is followed deterministically, AwaitSleepers waits until the
// threads a test expects have seen the new time and wait again.
class ManualClock final : public Clock {
public:
    // The real wait of a socket watcher between two reads of the clock.
    static constexpr int kRealSliceMs = 2;

    std::int64_t NowMs() override {
        std::lock_guard lock(mutex_);
        return now_;
    }

    void SleepMs(int ms) override {
        std::unique_lock lock(mutex_);
        const std::int64_t deadline = now_ + std::max(ms, 0);
        Sleeper& me = Join();
        while (now_ < deadline) {
            MarkAsleep(me);
            moved_.wait(lock);
        }
        lock.unlock();
        Leave(&me);
    }

    RealWait RealWaitFor(int ms) override { return {std::clamp(ms, 0, kRealSliceMs), false}; }

    void Advance(int ms) {
        {
            std::lock_guard lock(mutex_);
            now_ += std::max(ms, 0);
            ++generation_;
            // Without their mutexes (a waiter holds its own while it takes
            // ours): a notification lost between a waiter's look at the time
            // and its wait is made up by the waiter's own short real wait.
            for (const Sleeper& s : sleepers_) {
                if (s.cv) s.cv->notify_all();
            }
        }
        moved_.notify_all();
    }

    // Waits until at least `n` threads sleep or wait on the clock having seen
    // its current time, each socket watcher after a look at its sockets begun
    // since, and none of them did anything meanwhile (came, left, or found
    // work): what one thread sent another has been taken. False when that
    // does not happen within `realTimeoutMs` of real time (a thread that never
    // comes back to wait), or once `unless` holds.
    bool AwaitSleepers(int n, int realTimeoutMs = 10000, const std::function<bool()>& unless = {}) {
        std::unique_lock lock(mutex_);
        const auto until =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(realTimeoutMs);
        for (;;) {
            const std::uint64_t activity = activity_;
            const std::uint64_t since = ++epoch_;
            const auto settledOrBusy = [&] {
                if (activity_ != activity || (unless && unless())) return true;
                int asleep = 0;
                for (const Sleeper& s : sleepers_) {
                    if (s.asleep && s.generation == generation_ && (!s.poller || s.epoch >= since))
                        ++asleep;
                }
                return asleep >= n;
            };
            // In short real slices, so that `unless` is looked at even
            // when no thread comes or goes.
            while (!settledOrBusy()) {
                if (std::chrono::steady_clock::now() >= until) return false;
                settled_.wait_for(lock, std::chrono::milliseconds(kRealSliceMs));
            }
            if (unless && unless()) return false;
            if (activity_ == activity) return true;
        }
    }

protected:
    bool Wait(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
              std::int64_t deadlineMs, Predicate ready) override {
        Sleeper* me = nullptr;
        {
            std::lock_guard guard(mutex_);
            me = &Join();
            me->cv = &cv;
        }
        bool result = false;
        for (;;) {
            if (ready()) {
                result = true;
                break;
            }
            {
                std::lock_guard guard(mutex_);
                if (now_ >= deadlineMs) break;
                MarkAsleep(*me);
            }
            cv.wait_for(lock, std::chrono::milliseconds(kRealSliceMs));
        }
        Leave(me);
        return result;
    }

    std::uintptr_t BeginPolling() override {
        std::lock_guard lock(mutex_);
        Sleeper& me = Join();
        me.poller = true;
        return reinterpret_cast<std::uintptr_t>(&me);
    }
    std::int64_t PollNow(std::uintptr_t id) override {
        std::lock_guard lock(mutex_);
        Sleeper& me = *reinterpret_cast<Sleeper*>(id);
        if (!me.asleep) {
            // Its last look found work (or this is its first).
            ++activity_;
            settled_.notify_all();
        }
        me.asleep = false;
        me.generation = generation_;
        me.epoch = epoch_;
        return now_;
    }
    void PollIdle(std::uintptr_t id) override {
        std::lock_guard lock(mutex_);
        reinterpret_cast<Sleeper*>(id)->asleep = true;
        settled_.notify_all();
    }
    void EndPolling(std::uintptr_t id) override { Leave(reinterpret_cast<Sleeper*>(id)); }

private:
    struct Sleeper {
        std::condition_variable* cv = nullptr;  // of a WaitUntil
        bool poller = false;
        bool asleep = false;
        std::uint64_t generation = 0;  // the Advance last seen
        std::uint64_t epoch = 0;       // a poller: the AwaitSleepers before its last read
    };

    void MarkAsleep(Sleeper& s) {
        if (s.asleep && s.generation == generation_) return;
        s.asleep = true;
        s.generation = generation_;
        settled_.notify_all();
    }
    Sleeper& Join() {
        ++activity_;
        settled_.notify_all();
        return *sleepers_.insert(sleepers_.end(), Sleeper{});
    }
    void Leave(Sleeper* s) {
        std::lock_guard lock(mutex_);
        sleepers_.remove_if([s](const Sleeper& other) { return &other == s; });
        ++activity_;
        settled_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable moved_;    // the time moved (for SleepMs)
    std::condition_variable settled_;  // a thread came to sleep or left (for AwaitSleepers)
    std::int64_t now_ = 1'000'000;
    std::uint64_t generation_ = 0;
    std::uint64_t epoch_ = 0;
    std::uint64_t activity_ = 0;  // threads that came, left, or found work
    std::list<Sleeper> sleepers_;
};

}  // namespace qt40
