#pragma once
// qt40cfg-cli identify: who answers at one polling address.

#include "cli/CliCommand.h"

namespace qt40::cli {

class IdentifyCommand final : public CliCommand {
public:
    IdentifyCommand();
    int Run(CliContext& context) override;

private:
    void AddOptions(CLI::App& command, CliContext& context) override;
};

}  // namespace qt40::cli
