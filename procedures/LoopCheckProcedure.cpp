#include "procedures/LoopCheckProcedure.h"

#include <algorithm>

#include "model/NumberText.h"

namespace qt40 {

LoopCheckProcedure::LoopCheckProcedure(CommWorker& worker, ProcedureHost& host,
                                       LoopCheckSheet& sheet)
    : worker_(worker),
      host_(host),
      sheet_(sheet),
      release_(worker, host, WorkerRequest::FixCurrent) {}

std::size_t LoopCheckProcedure::PointCount() const {
    const LoopRun* run = sheet_.Run(kind_);
    return run ? run->points.size() : 0;
}

double LoopCheckProcedure::LevelMa() const {
    const LoopRun* run = sheet_.Run(kind_);
    if (state_ == State::Releasing || !run || index_ >= run->points.size()) return 0.0;
    return run->points[index_].targetMa;
}

CommResult LoopCheckProcedure::SendLevel(double ma) {
    const std::string level = ma == 0.0 ? std::string("0.0") : FormatFixed(ma, 3);
    worker_.WithSession([&](DeviceState& s) { s.writes.fixedCurrentText = level; });
    const CommResult sent = host_.Submit(WorkerRequest::FixCurrent, true);
    // Sent is enough: a level lost on the way may still have been carried out.
    if (sent == kCommSuccess && ma != 0.0) heldMa_ = ma;
    return sent;
}

void LoopCheckProcedure::EndRun(std::optional<LoopStop> stop, std::optional<bool> released,
                                int code) {
    sheet_.EndRun(kind_, redo_ ? std::nullopt : stop, released, code);
}

void LoopCheckProcedure::Prepare(LoopRunKind kind, std::size_t index, bool redo) {
    kind_ = kind;
    index_ = index;
    redo_ = redo;
    stopRequested_ = false;
    release_.Reset();
    ending_ = Ending::None;
    heldMa_ = 0.0;
    refusalCode_ = 0;
}

CommResult LoopCheckProcedure::Start(LoopRunKind kind) {
    if (Running()) return kCommSuccess;
    Prepare(kind, 0, false);
    const LoopRun& run = sheet_.StartRun(kind);
    if (run.points.empty()) return kCommSuccess;
    const CommResult sent = SendLevel(run.points.front().targetMa);
    if (sent == kCommSuccess) {
        state_ = State::Setting;
    } else {
        ending_ = Ending::ConnectionLost;
        EndRun(LoopStop::ConnectionClosed, false);
    }
    return sent;
}

bool LoopCheckProcedure::WouldReplace(LoopRunKind kind) const {
    const LoopRun* run = sheet_.Run(kind);
    return run && std::any_of(run->points.begin(), run->points.end(),
                              [](const LoopPointResult& p) { return p.measuredMa.has_value(); });
}

bool LoopCheckProcedure::CanRedo(LoopRunKind kind, std::size_t index) const {
    const LoopRun* run = sheet_.Run(kind);
    // An as-found reading taken after the output was adjusted would not be as found.
    if (kind == LoopRunKind::AsFound &&
        (!sheet_.trims.empty() || sheet_.trimStopped || sheet_.Run(LoopRunKind::AsLeft))) {
        return false;
    }
    return !Running() && run && index < run->points.size() &&
           run->points[index].measuredMa.has_value();
}

CommResult LoopCheckProcedure::Redo(LoopRunKind kind, std::size_t index) {
    if (!CanRedo(kind, index)) return kCommSuccess;
    Prepare(kind, index, true);
    const CommResult sent = SendLevel(LevelMa());
    if (sent == kCommSuccess) {
        state_ = State::Setting;
    } else {
        ending_ = Ending::ConnectionLost;
        EndRun(LoopStop::ConnectionClosed, false);
    }
    return sent;
}

void LoopCheckProcedure::Release() {
    switch (ending_) {
        case Ending::Stopped:
            EndRun(LoopStop::Stopped, std::nullopt);
            break;
        case Ending::Refused:
            EndRun(LoopStop::Refused, std::nullopt, refusalCode_);
            break;
        case Ending::ConnectionLost:
            EndRun(LoopStop::ExchangeLost, std::nullopt);
            break;
        default:
            break;
    }
    if (release_.Start() == kCommSuccess) {
        state_ = State::Releasing;
    } else {
        // No worker to send it: the connection is gone with the level unknown.
        state_ = State::Idle;
        ending_ = Ending::ConnectionLost;
        EndRun(LoopStop::ConnectionClosed, false);
    }
}

NumberVerdict LoopCheckProcedure::Enter(std::string_view text) {
    if (state_ != State::Measuring) return {};
    NumberVerdict verdict = CheckMeasuredCurrent(text);
    if (!verdict.result) return verdict;
    sheet_.Measure(kind_, index_, verdict.result->value, text);
    if (redo_) {
        ending_ = Ending::Completed;
        Release();
        return verdict;
    }
    ++index_;
    if (index_ < PointCount()) {
        if (SendLevel(LevelMa()) == kCommSuccess) {
            state_ = State::Setting;
        } else {
            state_ = State::Idle;
            ending_ = Ending::ConnectionLost;
            EndRun(LoopStop::ConnectionClosed, false);
        }
    } else {
        ending_ = Ending::Completed;
        Release();
    }
    return verdict;
}

void LoopCheckProcedure::Stop() {
    switch (state_) {
        case State::Measuring:
            ending_ = Ending::Stopped;
            Release();
            break;
        case State::Setting:
            // One request at a time: the release follows the answer to this level.
            stopRequested_ = true;
            break;
        case State::Releasing:
        case State::Idle:
            break;
    }
}

void LoopCheckProcedure::ConnectionClosed() {
    if (!Running()) return;
    state_ = State::Idle;
    ending_ = Ending::ConnectionLost;
    release_.Reset();
    EndRun(LoopStop::ConnectionClosed, false);
}

ProcedureStep LoopCheckProcedure::HandleNotification(const Notification& n) {
    if (!Running()) return ProcedureStep::NotMine;
    if (state_ == State::Releasing) {
        const ProcedureStep step = release_.HandleNotification(n);
        if (step == ProcedureStep::NotMine || step == ProcedureStep::Continues) return step;
        state_ = State::Idle;
        EndRun(std::nullopt, release_.Released());
        return step;
    }
    if (n.kind == NotificationKind::Failure) {
        if (state_ == State::Setting) {
            // Not asked about: the level is not tried again (its completion,
            // 209, releases the loop), and a poll that was on its way when
            // the level was submitted gives way to it.
            GiveUpExchange(worker_);
            return ProcedureStep::Continues;
        }
        if (state_ == State::Measuring) {
            // The line failed while the output holds the point (an idle poll).
            GiveUpExchange(worker_);
            ending_ = Ending::ConnectionLost;
            Release();
            return state_ == State::Releasing ? ProcedureStep::Continues
                                              : ProcedureStep::ConnectionLost;
        }
        return ProcedureStep::NotMine;
    }
    if (!n.Completes(WorkerRequest::FixCurrent) || state_ != State::Setting)
        return ProcedureStep::NotMine;
    if (n.result == kCommSuccess && !stopRequested_) {
        state_ = State::Measuring;
        return ProcedureStep::Finished;  // the chain waits for the reading
    }
    if (n.result == kCommSuccess) {
        ending_ = Ending::Stopped;
    } else if (n.result == kCommExchangeFailed) {
        ending_ = Ending::ConnectionLost;
    } else {
        ending_ = Ending::Refused;
        refusalCode_ = worker_.WithSession([](DeviceState& s) { return int{s.link.responseCode}; });
    }
    Release();
    return state_ == State::Releasing ? ProcedureStep::Continues : ProcedureStep::ConnectionLost;
}

}  // namespace qt40
