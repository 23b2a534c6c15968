#pragma once
// The universal and common-practice commands (0 to 49): identity, live values,
// tag and message, range, damping, fixed current and DAC trim.

#include <cstdint>
#include <optional>
#include <span>

#include "sim/SimOutcome.h"

namespace qt40::sim {

class SimDevice;

class SimUniversalCommands {
public:
    explicit SimUniversalCommands(SimDevice& device) : device_(device) {}

    // What the device makes of `command` with its data `in`, or nothing when
    // `command` is not one of these.
    std::optional<SimOutcome> Execute(std::uint8_t command, std::span<const std::uint8_t> in);

private:
    // Converts every value kept in the PV unit.
    void ChangePvUnit(std::uint8_t unit);

    SimDevice& device_;
};

}  // namespace qt40::sim
