#pragma once
// qt40cfg-cli search: the first polling address a device answers at, from --from on.

#include "cli/CliCommand.h"

namespace qt40::cli {

class SearchCommand final : public CliCommand {
public:
    SearchCommand();
    int Run(CliContext& context) override;

private:
    void AddOptions(CLI::App& command, CliContext& context) override;

    int from_ = 0;
};

}  // namespace qt40::cli
