#include "sim/SimCommandSupport.h"

#include <cmath>

#include "hart/Encodings.h"
#include "model/CglobalFile.h"
#include "sim/SimDevice.h"

namespace qt40::sim {
namespace {

double DeltaFactor(int unit) {
    return (unit == kDegF || unit == kDegR) ? 9.0 / 5.0 : 1.0;
}

}  // namespace

bool IsTemperatureUnit(int unit) {
    return unit >= kDegC && unit <= kKelvin;
}

double FromDegC(double c, int unit) {
    switch (unit) {
        case kDegF:
            return c * 9.0 / 5.0 + 32.0;
        case kDegR:
            return (c + 273.15) * 9.0 / 5.0;
        case kKelvin:
            return c + 273.15;
        default:
            return c;
    }
}

double ToDegC(double v, int unit) {
    switch (unit) {
        case kDegF:
            return (v - 32.0) * 5.0 / 9.0;
        case kDegR:
            return v * 5.0 / 9.0 - 273.15;
        case kKelvin:
            return v - 273.15;
        default:
            return v;
    }
}

double Convert(double v, int from, int to) {
    if (from == to || !IsTemperatureUnit(from) || !IsTemperatureUnit(to)) return v;
    return FromDegC(ToDegC(v, from), to);
}

double ConvertDelta(double v, int from, int to) {
    if (from == to || !IsTemperatureUnit(from) || !IsTemperatureUnit(to)) return v;
    return v / DeltaFactor(from) * DeltaFactor(to);
}

int SensorPosition(int code) {
    return CglobalFile::FindByCode(CglobalFile::Pair(EnumKind::SensorType).codes,
                                   static_cast<std::int16_t>(code));
}

void PutF(std::vector<std::uint8_t>& out, double v) {
    std::uint8_t b[4];
    PutFloat(b, static_cast<float>(v));
    out.insert(out.end(), b, b + 4);
}

void PutS16(std::vector<std::uint8_t>& out, int v) {
    std::uint8_t b[2];
    PutU16(b, static_cast<std::uint16_t>(v));
    out.insert(out.end(), b, b + 2);
}

void PutU24To(std::vector<std::uint8_t>& out, std::uint32_t v) {
    std::uint8_t b[3];
    PutU24(b, v);
    out.insert(out.end(), b, b + 3);
}

void PutPacked(std::vector<std::uint8_t>& out, const std::string& text, int n) {
    std::vector<std::uint8_t> b(static_cast<std::size_t>(n * 3 / 4));
    PackAscii(text, b.data(), n);
    out.insert(out.end(), b.begin(), b.end());
}

std::uint8_t Bound(double v, double lo, double hi) {
    if (v > hi) return kRcParameterTooLarge;
    if (v < lo) return kRcParameterTooSmall;
    return kRcSuccess;
}

std::uint8_t CheckRange(const SimState& s, double upper, double lower) {
    // A difference measurement reaches down to minus the upper limit.
    const double hi = s.upperSensorLimit;
    const double lo = s.measurementType == 1 ? -s.upperSensorLimit : s.lowerSensorLimit;
    const bool upperOut = upper > hi || upper < lo;
    const bool lowerOut = lower > hi || lower < lo;
    if (upperOut && lowerOut) return kRcBothRangesOutOfLimits;
    if (upper > hi) return kRcUpperRangeTooHigh;
    if (upper < lo) return kRcUpperRangeTooLow;
    if (lower > hi) return kRcLowerRangeTooHigh;
    if (lower < lo) return kRcLowerRangeTooLow;
    if (std::fabs(upper - lower) < s.minimumSpan - 1e-3) return kRcSpanTooSmall;
    return kRcSuccess;
}

}  // namespace qt40::sim
