#pragma once
// What each worker request code runs: its command list, how it is run, and
// whether a failure after it is retried without asking.

#include <span>

#include "hart/CommandSet.h"
#include "link/WorkerRequest.h"

namespace qt40 {

enum class Runner {
    List,        // command list with progress
    Quiet,       // idle poll: as List without progress
    Upload,      // the upload list, with its own progress over 18 steps
    Identify,    // command 0, frame check only
    SetPolling,  // sends nothing: switches the idle poll on
};

enum class RetryKind {
    None,
    Auto,   // the first failure after it is retried without asking
    Point,  // table point write: Auto, and one more silent retry
};

// After a device reset and after a self test the worker leaves the device alone
// for a while (LinkTiming says how long).
enum class Rest { None, AfterReset, AfterSelfTest };

struct RequestEntry {
    WorkerRequest code = WorkerRequest::IdlePoll;
    Runner runner = Runner::List;
    RetryKind retry = RetryKind::None;
    const CommandStep* steps = nullptr;  // terminated list; null for SetPolling
    Rest rest = Rest::None;
};

inline constexpr int kUploadStepCount = 18;

// The entry of a request, or nullptr for a code the table does not list.
const RequestEntry* FindRequest(WorkerRequest code);
// The idle poll: commands 3, 2, 48, and 156 while calibration readings are shown.
const CommandStep* IdlePollSteps(bool withCalibrationReadings);

}  // namespace qt40
