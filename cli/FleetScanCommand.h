#pragma once
// qt40cfg-cli fleet scan: every device the targets file reaches, one line each:
// endpoint, address, tag, device ID, model and status.

#include <string>

#include "cli/FleetCommands.h"

namespace qt40::cli {

class FleetScanCommand final : public FleetCommand {
public:
    FleetScanCommand();

private:
    int RunOn(CliContext& context, fleet::FleetRunner& runner,
              const std::vector<fleet::FleetTarget>& targets) override;
};

}  // namespace qt40::cli
