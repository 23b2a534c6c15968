#pragma once
// Rules the configuration panels apply before anything is staged: entry
// limits and prompts of the ranges, the span check, the constant CJC limits,
// and how identification texts are prepared for the device.

#include <string>

#include "base/Prompts.h"
#include "model/DeviceRecord.h"

namespace qt40 {

// The device values a user, a file or the command line may set by number.
enum class DeviceValue {
    PvRange,  // either end, before the sensor limits narrow it
    SensorRange,
    Damping,
    DriftAlarm,
    WireResistance,
    SensorSerialNo,
    FinalAssemblyNo,
    AoAlarmHigh,
    AoAlarmLow,
    AoSaturationHigh,
    AoSaturationLow,
    PollingAddress,
    FixedCurrent,
    DacTrimLow,   // the current measured at the 4 mA trim point
    DacTrimHigh,  // the current measured at the 20 mA trim point
};

// What goes with a value when it is asked for or shown.
enum class UnitRule { None, PvUnit, Seconds, Ohms, Milliamps };

// The entry rule of a device value: every entry, page, download and command
// that takes the value takes its limits from here.
struct ValueRule {
    double minimum = 0.0;
    double maximum = 0.0;
    bool zeroAllowed = false;  // 0 passes outside the limits too (damping off)
    int decimals = 3;          // of the text a file keeps; -1: a whole number
    int limitDecimals = 0;     // fewest decimals the prompts show the limits with
    UnitRule unit = UnitRule::None;

    bool Accepts(double value) const;
    // The limits as a prompt names them ("20.0", "3.75", "22").
    std::string MinimumText() const;
    std::string MaximumText() const;
};
const ValueRule& RuleOf(DeviceValue value);

struct RangeEntryLimits {
    std::string lowerText;  // shown in the prompt
    std::string upperText;
    double minimum = 0.0;  // accepted by the entry
    double maximum = 0.0;
};

// The PV range entry: limits at three decimals; a difference measurement
// reaches down to minus the upper limit.
RangeEntryLimits PvRangeLimits(const DeviceRecord& record);
// The sensor range entry: prompt values at two decimals, no difference rule.
RangeEntryLimits SensorRangeLimits(const DeviceRecord& record);

// True when the two range ends lie closer than the minimum span (compared at
// three decimals, as shown). A reversed range is judged by its size.
bool SpanTooSmall(double upper, double lower, double minimumSpan);

struct CjcLimits {
    double minimum = 0.0;
    double maximum = 0.0;
};
// By terminal temperature unit; an unknown unit takes the degC row.
CjcLimits ConstantCjcLimits(int termTempUnit);

// The fixed loop current a user specifies (3.8 … 22 mA), `initialText` offered.
NumberEntry FixedCurrentEntry(const std::string& initialText);

// A tag, descriptor or message as the device stores it: blanks appended to
// the field length, upper case (packed ASCII keeps six bits of a character).
std::string PrepareDeviceText(const std::string& accepted, std::size_t fieldLength);

// The digits before the decimal point of an accepted number ("12.900" → 12).
long long IntegerPart(const std::string& formattedText);

// Sensor class by the type code as the record holds it.
bool IsMillivoltSensor(int sensorTypeCode);

}  // namespace qt40
