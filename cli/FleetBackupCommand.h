#pragma once
// qt40cfg-cli fleet backup: the configuration file of every QT40 saved into a
// folder, with index.csv naming each file and what became of every device.

#include <string>

#include "cli/FleetCommands.h"

namespace qt40::cli {

class FleetBackupCommand final : public FleetCommand {
public:
    FleetBackupCommand();

private:
    void AddOptions(CLI::App& command, CliContext& context) override;
    int RunOn(CliContext& context, fleet::FleetRunner& runner,
              const std::vector<fleet::FleetTarget>& targets) override;

    std::string folder_;
};

}  // namespace qt40::cli
