#pragma once
// A device procedure driven from the terminal: requests go straight to the
// worker, waits are plain sleeps (the notifications queue meanwhile), and
// there is no progress window to show.

#include <chrono>
#include <thread>

#include "link/CommWorker.h"
#include "procedures/ProcedureHost.h"

namespace qt40::cli {

class CliProcedureHost final : public ProcedureHost {
public:
    explicit CliProcedureHost(CommWorker& worker) : worker_(worker) {}

    CommResult Submit(WorkerRequest code, bool polling) override {
        return worker_.SubmitRequest(code, polling);
    }
    void Wait(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

private:
    CommWorker& worker_;
};

}  // namespace qt40::cli
