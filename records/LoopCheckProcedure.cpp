#include "records/LoopCheckProcedure.h"

#include "model/NumberText.h"

namespace qt40 {

LoopCheckProcedure::LoopCheckProcedure(CommWorker& worker, ProcedureHost& host,
                                       LoopCheckSheet& sheet)
    : worker_(worker), host_(host), sheet_(sheet) {}

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
    worker_.WithSession([&](HartSession& s) { s.writes.fixedCurrentText = level; });
    return host_.Submit(kFixCurrent, true);
}

CommResult LoopCheckProcedure::Start(LoopRunKind kind) {
    if (Running()) return kCommSuccess;
    kind_ = kind;
    index_ = 0;
    stopRequested_ = false;
    released_ = false;
    ending_ = Ending::None;
    const LoopRun& run = sheet_.StartRun(kind);
    if (run.points.empty()) return kCommSuccess;
    const CommResult sent = SendLevel(run.points.front().targetMa);
    if (sent == kCommSuccess) {
        state_ = State::Setting;
    } else {
        ending_ = Ending::ConnectionLost;
    }
    return sent;
}

void LoopCheckProcedure::Release() {
    if (SendLevel(0.0) == kCommSuccess) {
        state_ = State::Releasing;
    } else {
        // No worker to send it: the connection is gone with the level unknown.
        state_ = State::Idle;
        ending_ = Ending::ConnectionLost;
    }
}

NumberVerdict LoopCheckProcedure::Enter(std::string_view text) {
    if (state_ != State::Measuring) return {};
    NumberVerdict verdict = CheckMeasuredCurrent(text);
    if (!verdict.result) return verdict;
    sheet_.Measure(kind_, index_, verdict.result->value, text);
    ++index_;
    if (index_ < PointCount()) {
        if (SendLevel(LevelMa()) == kCommSuccess) {
            state_ = State::Setting;
        } else {
            state_ = State::Idle;
            ending_ = Ending::ConnectionLost;
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
}

ProcedureStep LoopCheckProcedure::HandleNotification(const Notification& n) {
    if (n.first != kFixCurrent || !Running()) return ProcedureStep::NotMine;
    if (n.second == kCommExchangeFailed) {
        // The connection logic closes up; whatever the device holds, we can no longer send.
        state_ = State::Idle;
        ending_ = Ending::ConnectionLost;
        return ProcedureStep::ConnectionLost;
    }
    switch (state_) {
        case State::Setting:
            if (n.second != kCommSuccess) {
                ending_ = Ending::Refused;
            } else if (stopRequested_) {
                ending_ = Ending::Stopped;
            } else {
                state_ = State::Measuring;
                return ProcedureStep::Finished;  // the chain waits for the reading
            }
            Release();
            return state_ == State::Releasing ? ProcedureStep::Continues
                                              : ProcedureStep::ConnectionLost;
        case State::Releasing:
            state_ = State::Idle;
            released_ = n.second == kCommSuccess;
            return released_ ? ProcedureStep::Finished : ProcedureStep::Refused;
        case State::Measuring:
        case State::Idle:
            break;
    }
    return ProcedureStep::NotMine;
}

}  // namespace qt40
