#include "model/ConfigurationRules.h"

#include <cctype>
#include <cmath>

#include "model/NumberText.h"

namespace qt40 {
namespace {

double AtThreeDecimals(double value) { return LeadingDecimal(FormatFixed(value, 3)); }

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

bool SpanTooSmall(double upper, double lower, double minimumSpan) {
    return std::fabs(upper - lower) < AtThreeDecimals(minimumSpan);
}

CjcLimits ConstantCjcLimits(int termTempUnit) {
    switch (termTempUnit) {
        case 33: return {-238.0, 392.0};    // degF
        case 34: return {221.67, 851.67};   // degR
        case 35: return {123.15, 473.15};   // Kelvin
        default: return {-150.0, 200.0};    // degC and anything else
    }
}

NumberEntry FixedCurrentEntry(const std::string& initialText) {
    NumberEntry entry;
    entry.titleKey = "Set_AnalogOP_Val";
    entry.promptKey = "Set_Analog_Output";
    entry.promptArgs = {std::string("3.8"), std::string("22"), std::string("mA")};
    entry.initialText = initialText;
    entry.minimum = 3.8;
    entry.maximum = 22.0;
    entry.staging = NumberEntry::Staging::EnteredText;
    return entry;
}

std::string PrepareDeviceText(const std::string& accepted, std::size_t fieldLength) {
    std::string text = accepted.substr(0, fieldLength);
    text.resize(fieldLength, ' ');
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

long long IntegerPart(const std::string& formattedText) { return LeadingInteger(formattedText); }

bool IsMillivoltSensor(int sensorTypeCode) { return sensorTypeCode == 129; }

}  // namespace qt40
