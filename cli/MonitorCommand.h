#pragma once
// qt40cfg-cli monitor: a line of live values each poll cycle, until --count
// cycles or an interruption.

#include "cli/CliCommand.h"

namespace qt40::cli {

class MonitorCommand final : public CliCommand {
public:
    MonitorCommand();
    int Run(CliContext& context) override;

private:
    void AddOptions(CLI::App& command, CliContext& context) override;

    int count_ = 0;
};

}  // namespace qt40::cli
