#pragma once
// The procedure hook of the rig: a procedure's requests go to the worker, and
// its own waits and bounds run on the line's virtual time (a wait costs none).

#include <cstdint>

#include "base/Clock.h"
#include "link/CommWorker.h"
#include "procedures/ProcedureHost.h"

namespace qt40::test {

class RigHost final : public ProcedureHost {
public:
    RigHost(CommWorker& worker, VirtualClock& clock) : worker_(worker), clock_(clock) {}
    CommResult Submit(WorkerRequest code, bool polling) override {
        return worker_.SubmitRequest(code, polling);
    }
    void Wait(int ms) override { clock_.Advance(ms); }
    std::int64_t NowMs() override { return clock_.NowMs(); }

private:
    CommWorker& worker_;
    VirtualClock& clock_;
};

}  // namespace qt40::test
