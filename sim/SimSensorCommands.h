#pragma once
// The QT40's own sensor and output commands (130 to 156): sensor type and
// wiring, cold junction, alarm and saturation currents, RTD coefficients,
// drift alarm, sensor range and trim, lead wire resistance.

#include <cstdint>
#include <optional>
#include <span>

#include "sim/SimOutcome.h"

namespace qt40::sim {

class SimDevice;

class SimSensorCommands {
public:
    explicit SimSensorCommands(SimDevice& device) : device_(device) {}

    // What the device makes of `command` with its data `in`, or nothing when
    // `command` is not one of these.
    std::optional<SimOutcome> Execute(std::uint8_t command, std::span<const std::uint8_t> in);

private:
    // A new sensor type, with its default limits, range and unit.
    void SetSensorType(std::uint8_t type);

    SimDevice& device_;
};

}  // namespace qt40::sim
