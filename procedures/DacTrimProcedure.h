#pragma once
// Trimming the output converter against an external ammeter: fix the output
// at 4 or 20 mA, send the current the meter reads, and leave fixed-current
// mode when done. Clearing the trim data goes back to the factory trim and
// fixes the output again at the loop current. A failed exchange of any of
// its requests is not asked about: the output may be fixed, so the caller
// closes, and level 0 is tried again until answered or its bound passes.

#include "link/CommWorker.h"
#include "procedures/LevelRelease.h"
#include "procedures/ProcedureHost.h"
#include "base/Prompts.h"

namespace qt40 {

class DacTrimProcedure {
public:
    enum Point : int { kNoPoint = -1, kLower = 0, kUpper = 1 };
    static constexpr int kCloseWaitMs = 2000;

    DacTrimProcedure(CommWorker& worker, Prompts& prompts, ProcedureHost& host);

    // The entry of the current the meter reads at a trim point; the command
    // line checks its value with it before the output is fixed.
    static NumberEntry MeasuredEntry(Point point);

    // Whenever the panel is shown: no trim point set.
    void Reset() { trimMode_ = kNoPoint; }
    int TrimMode() const { return trimMode_; }

    // Fixes the output at the point's current; the trim mode follows when done.
    CommResult EnterTrimMode(Point point);
    // Asks for the measured current and sends it. False when nothing was sent
    // (no trim point yet: "Err_Trim_Mode_Not_Set"; or the entry cancelled).
    bool TrimByMeasuredValue();
    // Asks "Confr_DAC_Init_Data"; false on No.
    bool ClearTrimData();
    // Level 0, then the 2 s the output takes to settle. Its answer (or the
    // release giving up) comes through HandleNotification.
    CommResult Close();
    bool Releasing() const { return release_.Sending(); }
    const LevelRelease& Release0() const { return release_; }

    ProcedureStep HandleNotification(const Notification& n);
    // The point (kLower, kUpper) whose trim the device answered last, once a
    // trim has been stored; kNoPoint before.
    int LastTrimmed() const { return lastTrimmed_; }

private:
    CommResult SendFixedCurrent(WorkerRequest code, const std::string& level);

    CommWorker& worker_;
    Prompts& prompts_;
    ProcedureHost& host_;
    int trimMode_ = kNoPoint;
    int lastTrimmed_ = kNoPoint;
    LevelRelease release_;
};

}  // namespace qt40
