#include "procedures/LevelRelease.h"

namespace qt40 {

void GiveUpExchange(CommWorker& worker) {
    // The write retry the connection logic would have spent is ours to spend.
    worker.ClearRetryFlags();
    worker.PurgePort();
    worker.AnswerFailure(false);
}

LevelRelease::LevelRelease(CommWorker& worker, ProcedureHost& host, WorkerRequest code)
    : worker_(worker), host_(host), code_(code) {}

CommResult LevelRelease::Send() {
    worker_.WithSession([](DeviceState& s) { s.writes.fixedCurrentText = "0.0"; });
    const CommResult sent = host_.Submit(code_, true);
    if (sent == kCommSuccess) {
        ++tries_;
        state_ = State::Sending;
    } else {
        lastResult_ = kCommExchangeFailed;
        state_ = State::GaveUp;
    }
    return sent;
}

CommResult LevelRelease::Start() {
    startMs_ = host_.NowMs();
    tries_ = 0;
    lastResult_ = kCommSuccess;
    lastResponseCode_ = 0;
    return Send();
}

ProcedureStep LevelRelease::HandleNotification(const Notification& n) {
    if (state_ != State::Sending) return ProcedureStep::NotMine;
    if (n.kind == NotificationKind::Failure) {
        // Ours: its completion (209) decides what follows. Another (a poll
        // that was on its way when level 0 was submitted) gives way to it.
        GiveUpExchange(worker_);
        return ProcedureStep::Continues;
    }
    if (!n.Completes(code_)) return ProcedureStep::NotMine;
    lastResult_ = n.result;
    if (n.result == kCommSuccess) {
        state_ = State::Released;
        return ProcedureStep::Finished;
    }
    if (n.result != kCommExchangeFailed) {
        lastResponseCode_ =
            worker_.WithSession([](DeviceState& s) { return int{s.link.responseCode}; });
    }
    const auto gaveUp = [this] {
        state_ = State::GaveUp;
        return lastResult_ == kCommExchangeFailed ? ProcedureStep::ConnectionLost
                                                  : ProcedureStep::Refused;
    };
    if (host_.NowMs() - startMs_ >= kBoundMs || !worker_.Running()) return gaveUp();
    host_.Wait(kPauseMs);
    if (Send() != kCommSuccess) return gaveUp();
    return ProcedureStep::Continues;
}

}  // namespace qt40
