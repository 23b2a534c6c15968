#pragma once
// What qt40cfg-cli fleet scan | backup | compare share: every transmitter a
// targets file names, endpoints side by side. A progress line on stderr after
// each device and endpoint ("12 of 40 endpoints, 31 devices, 1 failed"); the
// results on stdout in the order of the targets file once all are done.

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "fleet/FleetRunner.h"

namespace qt40::cli {

// A tag without the blanks that pad it.
std::string Trimmed(const std::string& text);
// Where a device stands, for a line of text: "/dev/ttyUSB0 address 3".
std::string Where(const std::string& endpoint, int address);

// What the runner reported, kept to be shown in the order of the targets file.
struct FleetCollected {
    std::vector<fleet::FleetDevice> devices;
    std::vector<fleet::FleetEndpoint> failedEndpoints;
    int failedDevices = 0;

    void Sort();
    bool AnyFailed() const { return failedDevices > 0 || !failedEndpoints.empty(); }
};

// Runs the fleet, telling each failure on `err` as it happens; `each` sees
// every device as it comes (from the endpoint's thread, one at a time).
FleetCollected RunFleet(fleet::FleetRunner& runner, const std::vector<fleet::FleetTarget>& targets,
                        std::ostream& err,
                        const std::function<void(const fleet::FleetDevice&)>& each = {});

// A subcommand of `fleet`: --targets, --jobs, --hartip-timeout and --trace.
class FleetCommand : public CliCommand {
public:
    // Reads the whole targets file (exit 2 for a bad line, before any line
    // is opened), sets the runner up and runs RunOn.
    int Run(CliContext& context) final;

protected:
    using CliCommand::CliCommand;

    // The options every fleet command takes; a command adds its own after them.
    void AddOptions(CLI::App& command, CliContext& context) override;
    // The command's work on the fleet; the exit code.
    virtual int RunOn(CliContext& context, fleet::FleetRunner& runner,
                      const std::vector<fleet::FleetTarget>& targets) = 0;

private:
    std::string targetsFile_;
    int jobs_ = 16;
};

}  // namespace qt40::cli
