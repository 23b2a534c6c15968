#pragma once
// Level 0 after a fixed current, sent again after every failure (a refusal,
// an exchange given up) until the device has answered it or the bound has
// passed. A loop left fixed misleads the control system: one lost exchange
// must not be the end of the attempt, and nobody is asked in between.

#include <cstdint>

#include "link/CommWorker.h"
#include "procedures/ProcedureHost.h"

namespace qt40 {

// Answers the worker's failure notification of a request without asking
// anyone: the port is purged and the request given up (it completes with
// 209, the worker keeps running), so that the caller can send what must
// follow, level 0, itself.
void GiveUpExchange(CommWorker& worker);

class LevelRelease {
public:
    static constexpr int kBoundMs = 10000;  // from the first level 0 sent
    static constexpr int kPauseMs = 200;    // between tries, so a dead port does not spin

    enum class State { Idle, Sending, Released, GaveUp };

    // `code` is the fixed-current request (command 40) of the caller.
    LevelRelease(CommWorker& worker, ProcedureHost& host, WorkerRequest code);

    // Stages level 0 and submits it; the bound starts here. 205 when no
    // worker runs (the release has then given up).
    CommResult Start();
    // While sending: every failure notification (answered here: level 0 is
    // next in line) and the completion of `code`. Continues while level 0 is tried again; Finished once
    // the device has answered it; Refused or ConnectionLost when the bound
    // has passed (or no worker is left), after a refusal or a lost exchange.
    ProcedureStep HandleNotification(const Notification& n);
    void Reset() { state_ = State::Idle; }

    State CurrentState() const { return state_; }
    bool Sending() const { return state_ == State::Sending; }
    bool Released() const { return state_ == State::Released; }
    // Level 0 requests submitted since Start.
    int Tries() const { return tries_; }
    // The result of the last try (208 refused, 209 lost); the response code
    // of a refusal.
    int LastResult() const { return lastResult_; }
    int LastResponseCode() const { return lastResponseCode_; }

private:
    CommResult Send();

    CommWorker& worker_;
    ProcedureHost& host_;
    WorkerRequest code_;
    State state_ = State::Idle;
    std::int64_t startMs_ = 0;
    int tries_ = 0;
    int lastResult_ = kCommSuccess;
    int lastResponseCode_ = 0;
};

}  // namespace qt40
