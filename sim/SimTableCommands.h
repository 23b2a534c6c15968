#pragma once
// The table commands (186 to 197): the special curve and the custom
// thermocouple and RTD tables, header and points, read and written.

#include <cstdint>
#include <optional>
#include <span>

#include "sim/SimOutcome.h"

namespace qt40::sim {

class SimDevice;

class SimTableCommands {
public:
    explicit SimTableCommands(SimDevice& device) : device_(device) {}

    // What the device makes of `command` with its data `in`, or nothing when
    // `command` is not one of these.
    std::optional<SimOutcome> Execute(std::uint8_t command, std::span<const std::uint8_t> in);

private:
    SimDevice& device_;
};

}  // namespace qt40::sim
