#pragma once
// qt40cfg-cli loop-test: the loop current fixed at --ma until Enter, the end of
// --hold or a signal; level 0 follows whatever ended the test.

#include <optional>
#include <string>

#include "cli/CalibrationCommands.h"

namespace qt40::cli {

class LoopTestCommand final : public CalibrationCommand {
public:
    LoopTestCommand();

private:
    void AddOptions(CLI::App& command, CliContext& context) override;
    std::optional<std::string> RefusedArgument() override;
    int Calibrate(CliConnection& c) override;
    // A line was typed on standard input (never once it has ended).
    bool EnterPressed();

    std::string ma_;
    double hold_ = -1.0;
    bool stdinOpen_ = true;
};

}  // namespace qt40::cli
