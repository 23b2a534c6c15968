#pragma once
// qt40cfg-cli fleet compare: every QT40 compared with the file a backup saved
// for it (by its place, else by device ID); exit 3 when anything differs.

#include <string>

#include "cli/FleetCommands.h"

namespace qt40::cli {

class FleetCompareCommand final : public FleetCommand {
public:
    FleetCompareCommand();

private:
    void AddOptions(CLI::App& command, CliContext& context) override;
    int RunOn(CliContext& context, fleet::FleetRunner& runner,
              const std::vector<fleet::FleetTarget>& targets) override;

    std::string folder_;
    std::string report_;
};

}  // namespace qt40::cli
