#pragma once
// qt40cfg-cli trim-dac: the output trimmed at 4 mA (lower) or 20 mA (upper)
// with the current the meter measured; every way out leaves fixed-current mode.

#include <optional>
#include <string>

namespace qt40 {
class DacTrimProcedure;
}

#include "cli/CalibrationCommands.h"

namespace qt40::cli {

class TrimDacCommand final : public CalibrationCommand {
public:
    TrimDacCommand();

private:
    void AddOptions(CLI::App& command, CliContext& context) override;
    std::optional<std::string> RefusedArgument() override;
    int Calibrate(CliConnection& c) override;
    // Level 0 for a trim that may have fixed the output, waited for whatever
    // comes (signals included) until the device has answered it.
    Outcome LeaveTrim(CliConnection& c, DacTrimProcedure& trim);

    std::string point_;
    std::string measured_;
};

}  // namespace qt40::cli
