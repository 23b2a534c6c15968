#pragma once
// "Write Calibrated RTD": six value entries (the coefficients A, B, C and R0
// of the resistance curve, the lower and upper temperature limit), one write
// of command 144, the device's storing time, then the RTD table header read
// back. A Cancel at any entry sends nothing.

#include <cstdint>
#include <optional>
#include <string>

#include "base/Clock.h"
#include "link/CommWorker.h"
#include "model/DeviceRecord.h"
#include "base/Prompts.h"
#include "procedures/TableTransfer.h"

namespace qt40 {

// The six values as they are staged: A, B and C carry their scale suffix.
struct RtdCoefficientTexts {
    std::string a;
    std::string b;
    std::string c;
    std::string r0;
    std::int16_t lower = 0;
    std::int16_t upper = 0;
};

// A coefficient whose text and suffix would not fit the staged field:
// (coefficient name, most characters that may be entered).
inline constexpr const char* kCoefficientTooLongKey = "Err_Coefficient_Too_Long";
inline constexpr int kCalibratedRtdStoreWaitMs = 3500;

// Asks the six entries, each starting from what the device last reported.
// A coefficient entered with more characters than fit beside its suffix is
// refused with kCoefficientTooLongKey and asked again. Nothing on Cancel.
std::optional<RtdCoefficientTexts> EnterRtdCoefficients(const DeviceRecord& record,
                                                        Prompts& prompts);

class CalibratedRtdView {
public:
    virtual ~CalibratedRtdView() = default;
    virtual CommResult Submit(WorkerRequest code, bool polling) = 0;
    virtual void ShowProgress(const std::string& key) = 0;
    virtual void HideProgress() = 0;
    virtual void EnableCalibratedWrite(bool on) = 0;
    virtual void ConnectionLost() = 0;
    virtual void SequenceEnded() = 0;
};

class CalibratedRtdWrite {
public:
    // `rtdTable` reads the RTD header back once the device has stored the values.
    CalibratedRtdWrite(CommWorker& worker, Prompts& prompts, CalibratedRtdView& view, Clock& clock,
                       TableTransfer& rtdTable);

    // The entries and the write; false when nothing was sent.
    bool Start();
    // Writes values already entered (the command-line tool).
    bool Write(const RtdCoefficientTexts& values);
    bool HandleNotification(const Notification& n);
    bool Busy() const { return busy_; }
    void SetClock(Clock& clock) { clock_ = &clock; }

private:
    CommWorker& worker_;
    Prompts& prompts_;
    CalibratedRtdView& view_;
    Clock* clock_;
    TableTransfer& rtdTable_;
    bool busy_ = false;
};

}  // namespace qt40
