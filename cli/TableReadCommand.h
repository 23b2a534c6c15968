#pragma once
// qt40cfg-cli table read: the device's custom table or special curve saved as
// a table file.

#include <string>

#include "cli/CliCommand.h"
#include "cli/TableCommands.h"

namespace qt40::cli {

class TableReadCommand final : public CliCommand {
public:
    TableReadCommand();
    int Run(CliContext& context) override;

private:
    void AddOptions(CLI::App& command, CliContext& context) override;

    std::string kind_ = "tc";
    std::string outFile_;
};

}  // namespace qt40::cli
