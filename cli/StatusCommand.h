#pragma once
// qt40cfg-cli status: the additional status bits the device sets (exit 3: a
// bit is set).

#include "cli/CalibrationCommands.h"

namespace qt40::cli {

class StatusCommand final : public CalibrationCommand {
public:
    StatusCommand();

private:
    int Calibrate(CliConnection& c) override;
};

}  // namespace qt40::cli
