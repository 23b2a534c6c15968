#pragma once
// qt40cfg-cli reset: a master reset of the device, then its configuration read
// again.

#include "cli/CalibrationCommands.h"

namespace qt40::cli {

class ResetCommand final : public CalibrationCommand {
public:
    ResetCommand();

private:
    int Calibrate(CliConnection& c) override;
};

}  // namespace qt40::cli
