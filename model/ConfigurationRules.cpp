#include "model/ConfigurationRules.h"

#include <cctype>
#include <cmath>

#include "model/EntryRules.h"
#include "model/NumberText.h"

namespace qt40 {
namespace {

double AtThreeDecimals(double value) {
    return LeadingDecimal(FormatFixed(value, 3));
}

struct ValueRow {
    DeviceValue value;
    ValueRule rule;
};

// The limits the device itself holds to; a page or panel may narrow them
// (the PV range to the sensor limits), never widen them.
constexpr long long kLargestU24 = 16777215;
constexpr ValueRow kValueRules[] = {
    {DeviceValue::PvRange, {-99999.0, 99999.0, false, 3, 0, UnitRule::PvUnit}},
    {DeviceValue::SensorRange, {-99999.0, 99999.0, false, 3, 0, UnitRule::PvUnit}},
    {DeviceValue::Damping, {0.5, 30.0, true, 3, 1, UnitRule::Seconds}},
    {DeviceValue::DriftAlarm, {0.0, 1000.0, true, 3, 2, UnitRule::PvUnit}},
    {DeviceValue::WireResistance, {0.0, 20.0, true, 4, 0, UnitRule::Ohms}},
    {DeviceValue::SensorSerialNo, {0.0, kLargestU24, true, -1, 0, UnitRule::None}},
    {DeviceValue::FinalAssemblyNo, {0.0, kLargestU24, true, -1, 0, UnitRule::None}},
    {DeviceValue::AoAlarmHigh, {21.5, 23.0, false, 3, 1, UnitRule::Milliamps}},
    {DeviceValue::AoAlarmLow, {3.75, 3.8, false, 3, 1, UnitRule::Milliamps}},
    {DeviceValue::AoSaturationHigh, {20.0, 21.5, false, 3, 1, UnitRule::Milliamps}},
    {DeviceValue::AoSaturationLow, {3.8, 4.0, false, 3, 1, UnitRule::Milliamps}},
    {DeviceValue::PollingAddress, {0.0, 15.0, true, -1, 0, UnitRule::None}},
    {DeviceValue::FixedCurrent, {3.8, 22.0, false, 3, 0, UnitRule::Milliamps}},
    {DeviceValue::DacTrimLow, {3.8, 4.2, false, 3, 3, UnitRule::Milliamps}},
    {DeviceValue::DacTrimHigh, {19.8, 20.2, false, 3, 3, UnitRule::Milliamps}},
};

// The shortest text with at least `decimals` decimals that reads back as `value`.
std::string LimitText(double value, int decimals) {
    for (int d = decimals; d < 6; ++d) {
        std::string text = FormatFixed(value, d);
        if (LeadingDecimal(text) == value) return text;
    }
    return FormatGeneral(value);
}

}  // namespace

RangeEntryLimits PvRangeLimits(const DeviceRecord& record) {
    RangeEntryLimits limits;
    limits.upperText = FormatFixed(record.upperSensorLimit, 3, 4);
    limits.lowerText = FormatFixed(record.lowerSensorLimit, 3, 4);
    limits.maximum = AtThreeDecimals(record.upperSensorLimit);
    limits.minimum = AtThreeDecimals(record.lowerSensorLimit);
    if (record.measurementType == 1) {  // "Different"
        limits.lowerText = "-" + limits.upperText;
        limits.minimum = LeadingDecimal("-" + FormatFixed(record.upperSensorLimit, 3));
    }
    return limits;
}

RangeEntryLimits SensorRangeLimits(const DeviceRecord& record) {
    RangeEntryLimits limits;
    limits.upperText = FormatFixed(record.upperSensorLimit, 2, 4);
    limits.lowerText = FormatFixed(record.lowerSensorLimit, 2, 4);
    limits.maximum = AtThreeDecimals(record.upperSensorLimit);
    limits.minimum = AtThreeDecimals(record.lowerSensorLimit);
    return limits;
}

bool ValueRule::Accepts(double value) const {
    return InEntryRange(value, minimum, maximum, zeroAllowed);
}

std::string ValueRule::MinimumText() const {
    return LimitText(minimum, limitDecimals);
}
std::string ValueRule::MaximumText() const {
    return LimitText(maximum, limitDecimals);
}

const ValueRule& RuleOf(DeviceValue value) {
    for (const ValueRow& row : kValueRules) {
        if (row.value == value) return row.rule;
    }
    return kValueRules[0].rule;  // every value has its row
}

bool SpanTooSmall(double upper, double lower, double minimumSpan) {
    return std::fabs(upper - lower) < AtThreeDecimals(minimumSpan);
}

CjcLimits ConstantCjcLimits(int termTempUnit) {
    switch (termTempUnit) {
        case 33:
            return {-238.0, 392.0};  // degF
        case 34:
            return {221.67, 851.67};  // degR
        case 35:
            return {123.15, 473.15};  // Kelvin
        default:
            return {-150.0, 200.0};  // degC and anything else
    }
}

NumberEntry FixedCurrentEntry(const std::string& initialText) {
    const ValueRule& rule = RuleOf(DeviceValue::FixedCurrent);
    NumberEntry entry;
    entry.titleKey = "Set_AnalogOP_Val";
    entry.promptKey = "Set_Analog_Output";
    entry.promptArgs = {rule.MinimumText(), rule.MaximumText(), std::string("mA")};
    entry.initialText = initialText;
    entry.minimum = rule.minimum;
    entry.maximum = rule.maximum;
    entry.staging = NumberEntry::Staging::EnteredText;
    return entry;
}

std::string PrepareDeviceText(const std::string& accepted, std::size_t fieldLength) {
    std::string text = accepted.substr(0, fieldLength);
    text.resize(fieldLength, ' ');
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

long long IntegerPart(const std::string& formattedText) {
    return LeadingInteger(formattedText);
}

bool IsMillivoltSensor(int sensorTypeCode) {
    return sensorTypeCode == 129;
}

}  // namespace qt40
