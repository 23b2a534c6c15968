#pragma once
// The clock of the window's long waits (the device storing a table): the
// window keeps painting and the worker's notifications keep arriving, while
// clicks and keys wait until the time is up.

#include "base/Clock.h"

namespace qt40 {

class PaintingClock final : public Clock {
public:
    std::int64_t NowMs() override { return steady_.NowMs(); }
    void SleepMs(int ms) override;

private:
    SteadyClock steady_;
};

}  // namespace qt40
