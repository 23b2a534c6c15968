#pragma once
// The link measures and waits only through a clock, so that tests can run a
// three-second carrier time-out without spending three seconds.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace qt40 {

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t NowMs() = 0;
    virtual void SleepMs(int ms) = 0;
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

}  // namespace qt40
