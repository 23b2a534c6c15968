#pragma once
// qt40cfg-cli compare: the rows whose device value differs from a
// configuration file; nothing is written.

#include "cli/FileCommands.h"

namespace qt40::cli {

class CompareCommand final : public ConfigFileCommand {
public:
    CompareCommand();
    int Run(CliContext& context) override;
};

}  // namespace qt40::cli
