#pragma once
// qt40cfg-cli upload: the whole configuration, as text or one JSON object, and
// with --out also as the configuration file the window program saves.

#include <string>

#include "cli/CliCommand.h"

namespace qt40::cli {

class UploadCommand final : public CliCommand {
public:
    UploadCommand();
    int Run(CliContext& context) override;

private:
    void AddOptions(CLI::App& command, CliContext& context) override;

    bool json_ = false;
    std::string outFile_;
};

}  // namespace qt40::cli
