#pragma once
// A loop check: the output fixed at each point of the sheet in turn, the
// technician's reading taken at each, and the loop released (level 0) at the
// end. However the check ends (done, stopped, the device refusing a level, an
// exchange lost while a level is set or held), level 0 is sent and sent again
// until the device answers it or the release's bound passes; only a
// connection already closed leaves it unsent. Driven by the worker's
// notifications, like the DAC trim.

#include <cstddef>
#include <string_view>

#include "link/CommWorker.h"
#include "procedures/LevelRelease.h"
#include "procedures/ProcedureHost.h"
#include "records/LoopCheckSheet.h"

namespace qt40 {

class LoopCheckProcedure {
public:
    enum class State {
        Idle,       // no run, nothing on its way
        Setting,    // a point's level is on its way
        Measuring,  // the output holds the point: waiting for the reading
        Releasing,  // level 0 is on its way
    };
    enum class Ending {
        None,
        Completed,       // every point measured
        Stopped,         // stopped before the last point
        Refused,         // the device refused a level (208)
        ConnectionLost,  // an exchange was given up (209), or the connection closed
    };

    LoopCheckProcedure(CommWorker& worker, ProcedureHost& host, LoopCheckSheet& sheet);

    // Starts a run with the sheet's points: the output goes to the first one.
    // A run of that kind already on the sheet is replaced: ask first when
    // WouldReplace() says readings would be lost.
    CommResult Start(LoopRunKind kind);
    // True when the sheet holds a run of `kind` with a reading in it.
    bool WouldReplace(LoopRunKind kind) const;
    // Takes one point of a run again (a mistyped reading): the output goes to
    // that point's level, the reading entered replaces the old one, and the
    // loop is released after it as after a run. Only a point that holds a
    // reading, while nothing runs, and an as-found point only while the
    // output has not been adjusted since (no DAC trim, no as-left run); a
    // redo that ends without a reading keeps the old one, and the run keeps
    // the way it ended.
    bool CanRedo(LoopRunKind kind, std::size_t index) const;
    CommResult Redo(LoopRunKind kind, std::size_t index);
    // The running work takes one point again rather than a whole run.
    bool Redoing() const { return redo_; }
    // While Measuring: the reading at the point the output holds. A refused
    // text is not stored and the point waits for another; an accepted one
    // moves the output on, or releases the loop after the last point.
    NumberVerdict Enter(std::string_view text);
    // Ends the run early. The release goes out now, or as soon as the level
    // on its way has been answered.
    void Stop();

    // Also takes the failure notifications while a level is set or held:
    // nobody is asked, the check ends and the release follows.
    ProcedureStep HandleNotification(const Notification& n);
    // The connection ended without an answer to us (an idle poll given up,
    // the worker stopped): nothing more can be sent.
    void ConnectionClosed();

    State CurrentState() const { return state_; }
    bool Running() const { return state_ != State::Idle; }
    LoopRunKind RunKind() const { return kind_; }
    std::size_t PointIndex() const { return index_; }
    std::size_t PointCount() const;
    // The level being set or held, in mA.
    double LevelMa() const;
    Ending LastEnding() const { return ending_; }
    // After a run: the device answered level 0.
    bool Released() const { return release_.Released(); }
    // The last level other than 0 that was sent, in mA: what the output may
    // still hold when the release failed.
    double HeldMa() const { return heldMa_; }
    // The response code of a refused level (Ending::Refused).
    int RefusalCode() const { return refusalCode_; }
    const LevelRelease& Release0() const { return release_; }

private:
    CommResult SendLevel(double ma);
    void Release();
    void Prepare(LoopRunKind kind, std::size_t index, bool redo);
    // Records why the run stopped early; a redo leaves the run's own ending.
    void EndRun(std::optional<LoopStop> stop, std::optional<bool> released, int code = 0);

    CommWorker& worker_;
    ProcedureHost& host_;
    LoopCheckSheet& sheet_;
    State state_ = State::Idle;
    LoopRunKind kind_ = LoopRunKind::AsFound;
    std::size_t index_ = 0;
    bool stopRequested_ = false;
    bool redo_ = false;
    Ending ending_ = Ending::None;
    double heldMa_ = 0.0;
    int refusalCode_ = 0;
    LevelRelease release_;
};

}  // namespace qt40
