#pragma once
// qt40cfg-cli sim: a simulated QT40 (or a multidrop loop of them) behind a
// new pseudo-terminal, or behind a HART-IP server with --hartip, until
// stopped. Its options are all added in AddOptions; those that only serve
// HART-IP fill SimHartIpRequest, which RunSimHartIp takes.

#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/SimHartIpCommand.h"

namespace qt40::cli {

class SimCommand final : public CliCommand {
public:
    SimCommand();
    int Run(CliContext& context) override;

private:
    void AddOptions(CLI::App& command, CliContext& context) override;

    int address_ = 0;
    std::string model_ = "QT40";
    bool realtime_ = false;
    int turnaroundMs_ = 20;
    std::vector<std::string> faults_;
    std::string valuesFile_;
    std::string requestsFile_;
    int devices_ = 0;
    long long deviceId_ = -1;
    SimHartIpRequest hartip_;
};

}  // namespace qt40::cli
