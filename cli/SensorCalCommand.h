#pragma once
// qt40cfg-cli sensor-cal: zero or span calibration of a sensor input, or its
// calibration cleared; prints the trim the device then holds.

#include <optional>
#include <string>

#include "cli/CalibrationCommands.h"

namespace qt40::cli {

class SensorCalCommand final : public CalibrationCommand {
public:
    SensorCalCommand();

private:
    void AddOptions(CLI::App& command, CliContext& context) override;
    std::optional<std::string> RefusedArgument() override;
    int Calibrate(CliConnection& c) override;

    std::string kind_;
    std::string value_;
    int sensor_ = 1;
};

}  // namespace qt40::cli
