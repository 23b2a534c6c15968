#include "procedures/FixedCurrentWatch.h"

#include "base/CommResult.h"
#include "model/NumberText.h"

namespace qt40 {
namespace {

constexpr int kMasterReset = 428;

}  // namespace

bool FixedCurrentWatch::IsFixedCurrentRequest(int code) {
    // Command 40 from the analog output panel and the DAC trim.
    return code == 422 || code == 434 || code == 437 || code == 438;
}

void FixedCurrentWatch::Submitted(int code, const std::string& stagedLevel) {
    if (IsFixedCurrentRequest(code)) pending_ = LeadingDecimal(stagedLevel) != 0.0;
}

void FixedCurrentWatch::Observe(const Notification& n, const std::string& stagedLevel) {
    if (IsFixedCurrentRequest(n.first)) {
        ++completions_;
        pending_ = false;
        if (n.second == kCommSuccess) level_ = LeadingDecimal(stagedLevel);
    } else if (n.first == kMasterReset && n.second == kCommSuccess) {
        level_ = 0.0;  // a restarted device follows the PV again
    }
}

}  // namespace qt40
