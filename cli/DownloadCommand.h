#pragma once
// qt40cfg-cli download: a configuration file written into the device as the
// comparison pages write it, read back, and the rows that still differ
// printed. A step that stops the download says what was written before it.

#include "cli/FileCommands.h"

namespace qt40::cli {

class DownloadCommand final : public ConfigFileCommand {
public:
    DownloadCommand();
    int Run(CliContext& context) override;
};

}  // namespace qt40::cli
