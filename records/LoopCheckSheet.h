#pragma once
// The loop-check sheet: the output forced to each point of its range in
// turn, the current a reference meter read there, the error in percent of
// the 16 mA span and pass or fail against the tolerance, as found and, after
// an adjustment, as left. Its rules (points, tolerance, measured values)
// serve the dialog and the command line alike.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/DeviceRecord.h"
#include "model/EntryRules.h"
#include "records/RecordDocument.h"
#include "records/RecordTexts.h"

namespace qt40 {

inline constexpr double kLoopLowMa = 4.0;
inline constexpr double kLoopSpanMa = 16.0;
inline constexpr double kDefaultTolerance = 0.25;  // % of span
inline constexpr std::size_t kMostLoopPoints = 21;

// Output current at `percent` of the range.
double LoopTargetMa(double percent);

// "0,25,50,75,100": 1 to 21 numbers from 0 to 100, in any order; nothing
// when the text breaks that rule.
std::optional<std::vector<double>> ParseLoopPoints(std::string_view text);
// Greater than 0 and at most 10 % of span; nothing otherwise.
std::optional<double> ParseLoopTolerance(std::string_view text);

// The reading of a meter: a number (a digit at least; blanks around it are
// dropped) from 0 to 25 mA. A text that is no number or lies outside is
// refused with "Err_Calibration_Value_Invalid", never taken as 0.
NumberEntry MeasuredCurrentEntry();
NumberVerdict CheckMeasuredCurrent(std::string_view text);

struct LoopPointResult {
    double percent = 0.0;
    double targetMa = 0.0;
    std::optional<double> measuredMa;
    std::string measuredText;  // as printed: at least three decimals, more when typed
    // Filled with the measurement: the error rounded to the three decimals
    // the sheet prints, and the verdict on that printed value.
    std::optional<double> errorPercent;
    std::optional<bool> pass;
};

enum class LoopRunKind { AsFound, AsLeft };

// Why a run ended before its last point.
enum class LoopStop {
    Stopped,           // by the technician
    Interrupted,       // a signal (Ctrl+C, SIGTERM, a closed terminal)
    InputEnded,        // the readings ran out
    Refused,           // the device refused a level
    ExchangeLost,      // an exchange with the device was lost
    ConnectionClosed,  // the connection was gone
};

struct LoopRun {
    LoopRunKind kind = LoopRunKind::AsFound;
    std::vector<LoopPointResult> points;
    std::optional<LoopStop> stop;  // the first reason the run stopped early
    int responseCode = 0;          // of a refused level
    std::optional<bool> released;  // the device answered level 0 at the end
    bool Complete() const;
    // Every point measured and within tolerance.
    bool Passed() const;
    // The overall verdict's text key: "Rec_Pass", "Rec_Fail" or, while a
    // point lacks its reading, "Rec_Incomplete".
    const char* VerdictKey() const;
};

class LoopCheckSheet {
public:
    LoopCheckSheet();

    // The points of the next run; a run already done keeps its own.
    void SetPoints(std::vector<double> percents) { percents_ = std::move(percents); }
    // The sheet has one tolerance: the points measured so far are judged again.
    void SetTolerance(double percentOfSpan);
    const std::vector<double>& Points() const { return percents_; }
    double Tolerance() const { return tolerance_; }

    // Starts `kind` afresh with the current points (an earlier run of that
    // kind is replaced).
    LoopRun& StartRun(LoopRunKind kind);
    // Stores an accepted measurement at `index` of the run.
    void Measure(LoopRunKind kind, std::size_t index, double measuredMa,
                 std::string_view enteredText);
    const LoopRun* Run(LoopRunKind kind) const;
    // Records how a run ended: the reason it stopped early (the first one
    // given stands) and whether the loop was released.
    void EndRun(LoopRunKind kind, std::optional<LoopStop> stop, std::optional<bool> released,
                int responseCode = 0);
    // A later, more exact reason for a stop (a signal rather than "stopped").
    void SetStop(LoopRunKind kind, LoopStop stop);
    // Any point measured in any run: the tolerance of the sheet is then settled.
    bool AnyMeasured() const;
    void Clear() {
        runs_.clear();
        trims.clear();
        trimStopped = false;
    }

    // The device's identity and range as connected.
    void TakeDevice(const DeviceRecord& r);

    // Who checked, with what, and any remark.
    std::string technician;
    std::string meterId;
    std::string note;
    // The device, as identified (tag, type, ID, serial numbers).
    std::string tag;
    std::string deviceType;
    std::string deviceId;
    std::string finalAssemblyNo;
    std::string sensorSerialNo;
    // Its PV range, unit and transfer function: the points are % of the
    // 4-20 mA span, which is % of the PV range only when the output is linear.
    std::string pvLower;
    std::string pvUpper;
    std::string pvUnit;
    std::string transferFunction;

    // A DAC trim between the runs: each point stored in the device, with the
    // reading sent; `trimStopped` when the trim ended before both points.
    struct DacTrim {
        bool upper = false;
        std::string measuredText;
    };
    std::vector<DacTrim> trims;
    bool trimStopped = false;
    void RecordTrim(bool upper, std::string measuredText) {
        trims.push_back({upper, std::move(measuredText)});
    }

    RecordDocument ToDocument(const RecordTexts& texts, const std::string& program,
                              const std::string& created) const;

private:
    LoopRun* MutableRun(LoopRunKind kind);

    std::vector<double> percents_;
    double tolerance_ = kDefaultTolerance;
    std::vector<LoopRun> runs_;
};

// The error of a reading in % of span, rounded as printed (half away from zero).
double LoopErrorPercent(double targetMa, double measuredMa);

}  // namespace qt40
