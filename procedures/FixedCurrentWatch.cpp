#include "procedures/FixedCurrentWatch.h"

#include "base/CommResult.h"
#include "model/NumberText.h"

namespace qt40 {

bool FixedCurrentWatch::IsFixedCurrentRequest(WorkerRequest code) {
    // Command 40 from the analog output panel and the DAC trim.
    using W = WorkerRequest;
    return code == W::FixCurrent || code == W::TrimFixAtPoint || code == W::TrimFixAfterClear ||
           code == W::LeaveFixedLevel;
}

void FixedCurrentWatch::Submitted(WorkerRequest code, const std::string& stagedLevel) {
    if (IsFixedCurrentRequest(code)) pending_ = LeadingDecimal(stagedLevel) != 0.0;
}

void FixedCurrentWatch::Observe(const Notification& n, const std::string& stagedLevel) {
    if (n.kind == NotificationKind::Completion && IsFixedCurrentRequest(n.request)) {
        ++completions_;
        pending_ = false;
        if (n.result == kCommSuccess) level_ = LeadingDecimal(stagedLevel);
    } else if (n.Completes(WorkerRequest::MasterReset) && n.result == kCommSuccess) {
        level_ = 0.0;  // a restarted device follows the PV again
    }
}

}  // namespace qt40
