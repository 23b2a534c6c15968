#pragma once
// The link measures and waits only through a clock, so that tests can run a
// three-second carrier time-out without spending three seconds.

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

}  // namespace qt40
