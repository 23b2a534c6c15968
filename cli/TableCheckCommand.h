#pragma once
// qt40cfg-cli table check: a table file checked as a write would check it;
// nothing is connected.

#include <string>

#include "cli/CliCommand.h"
#include "cli/TableCommands.h"

namespace qt40::cli {

class TableCheckCommand final : public CliCommand {
public:
    TableCheckCommand();
    int Run(CliContext& context) override;

private:
    void AddOptions(CLI::App& command, CliContext& context) override;

    std::string kind_ = "tc";
    std::string inFile_;
    bool yes_ = false;
};

}  // namespace qt40::cli
