#pragma once
// qt40cfg-cli table write: a table file written to the device; the file is
// read and checked first, so that a bad file never touches the device.

#include <string>

#include "cli/CliCommand.h"
#include "cli/TableCommands.h"

namespace qt40::cli {

class TableWriteCommand final : public CliCommand {
public:
    TableWriteCommand();
    int Run(CliContext& context) override;

private:
    void AddOptions(CLI::App& command, CliContext& context) override;

    std::string kind_ = "tc";
    std::string inFile_;
    bool yes_ = false;
};

}  // namespace qt40::cli
