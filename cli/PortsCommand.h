#pragma once
// qt40cfg-cli ports: the serial ports this system has, one a line.

#include "cli/CliCommand.h"

namespace qt40::cli {

class PortsCommand final : public CliCommand {
public:
    PortsCommand();
    int Run(CliContext& context) override;

private:
    void AddOptions(CLI::App& command, CliContext& context) override;
};

}  // namespace qt40::cli
