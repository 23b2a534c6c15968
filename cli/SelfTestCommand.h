#pragma once
// qt40cfg-cli self-test: the device's self test, then its additional status
// (exit 3: a bit is set).

#include "cli/CalibrationCommands.h"

namespace qt40::cli {

class SelfTestCommand final : public CalibrationCommand {
public:
    SelfTestCommand();

private:
    int Calibrate(CliConnection& c) override;
};

}  // namespace qt40::cli
