#pragma once
// What the simulator's command sets share: unit conversion, the sensor codes
// with a behaviour of their own, the data encodings of answers and the
// standard refusals.

#include <cstdint>
#include <string>
#include <vector>

#include "sim/SimState.h"

namespace qt40::sim {

inline constexpr std::uint8_t kDegC = 32, kDegF = 33, kDegR = 34, kKelvin = 35, kMilliVolt = 36,
                              kOhm = 37;
inline constexpr std::uint8_t kSensorMillivolt = 129, kSensorOhm = 1, kSensorCustomTc = 146,
                              kSensorCustomRtd = 93;

bool IsTemperatureUnit(int unit);
double FromDegC(double c, int unit);
double ToDegC(double v, int unit);
// A value in `from` expressed in `to` (temperatures only; others unchanged).
double Convert(double v, int from, int to);
// A temperature difference in `from` expressed in `to`.
double ConvertDelta(double v, int from, int to);

// The position of a sensor type code in the sensor table, or -1.
int SensorPosition(int code);

void PutF(std::vector<std::uint8_t>& out, double v);
void PutS16(std::vector<std::uint8_t>& out, int v);
void PutU24To(std::vector<std::uint8_t>& out, std::uint32_t v);
void PutPacked(std::vector<std::uint8_t>& out, const std::string& text, int n);

// Inclusive bound check answering with the standard "too large / too small".
std::uint8_t Bound(double v, double lo, double hi);
// The code a range write of `upper` and `lower` is refused with, or success.
std::uint8_t CheckRange(const SimState& s, double upper, double lower);

}  // namespace qt40::sim
