#pragma once
// qt40cfg-cli wire-resistance: the lead wire resistance printed, written
// (--set) or calibrated against a resistor in place of the sensor (--calibrate).

#include <optional>
#include <string>

#include "cli/CalibrationCommands.h"

namespace qt40::cli {

class WireResistanceCommand final : public CalibrationCommand {
public:
    WireResistanceCommand();

private:
    void AddOptions(CLI::App& command, CliContext& context) override;
    std::optional<std::string> RefusedArgument() override;
    int Calibrate(CliConnection& c) override;

    std::string set_;
    std::string calibrate_;
};

}  // namespace qt40::cli
