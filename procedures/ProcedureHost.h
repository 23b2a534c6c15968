#pragma once
// What a device procedure of several requests needs from whoever drives it
// (a panel or the command-line tool), and how a notification left it.

#include <cstdint>
#include <string>

#include "base/Clock.h"
#include "base/CommResult.h"
#include "link/WorkerRequest.h"

namespace qt40 {

enum class ProcedureStep {
    NotMine,         // not a request of this procedure: pass it on
    Continues,       // the next request of the chain is on its way
    Finished,        // the chain has ended (its last request done, or nothing left to send)
    Refused,         // the device refused an answer (208): the chain stops here
    ConnectionLost,  // an exchange was given up (209)
};

class ProcedureHost {
public:
    virtual ~ProcedureHost() = default;
    // Submits a worker request; 205 when no worker runs.
    virtual CommResult Submit(WorkerRequest code, bool polling) = 0;
    // Lets `ms` pass without taking user input; a window keeps painting.
    virtual void Wait(int ms) = 0;
    // The time a procedure's own bounds are measured in.
    virtual std::int64_t NowMs() { return SteadyClock().NowMs(); }
    // The upload progress window of a re-upload.
    virtual void ShowProgress(const std::string& textKey) { (void)textKey; }
    virtual void HideProgress() {}
    // A question comes in the middle of a chain: the window takes input again.
    virtual void BeforeQuestion() {}
};

// The step a completion's result means when the chain has nothing more to do.
inline ProcedureStep StepOf(int result) {
    if (result == kCommExchangeFailed) return ProcedureStep::ConnectionLost;
    if (result == kCommSuccess) return ProcedureStep::Finished;
    return ProcedureStep::Refused;
}

}  // namespace qt40
