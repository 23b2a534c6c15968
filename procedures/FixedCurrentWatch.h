#pragma once
// Whether the loop was last left at a fixed current: a loop left that way
// misleads the control system, so leaving the program or the connection asks
// first. Fed with every completion the window side sees.

#include <string>

#include "link/NotificationSink.h"

namespace qt40 {

class FixedCurrentWatch {
public:
    // `stagedLevel` is the fixed-current text the request sent (WriteBuffer).
    void Observe(const Notification& n, const std::string& stagedLevel);
    // A request submitted: a level other than 0 on its way may be taken by
    // the device at any moment, before its answer is seen.
    void Submitted(WorkerRequest code, const std::string& stagedLevel);
    bool LevelPending() const { return pending_; }
    bool LevelSet() const { return level_ != 0.0; }
    double Level() const { return level_; }
    // Fixed-current requests ended so far, successful or not.
    int Completions() const { return completions_; }
    // The connection is gone: what the device does now is unknown.
    void Forget() {
        level_ = 0.0;
        pending_ = false;
    }

    static bool IsFixedCurrentRequest(WorkerRequest code);

private:
    double level_ = 0.0;
    int completions_ = 0;
    bool pending_ = false;
};

}  // namespace qt40
