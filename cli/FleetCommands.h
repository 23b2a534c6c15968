#pragma once
// qt40cfg-cli fleet scan | backup | compare: every transmitter a targets file
// names, endpoints side by side. A progress line on stderr after each device
// and endpoint ("12 of 40 endpoints, 31 devices, 1 failed"); the results on
// stdout in the order of the targets file once all are done.

#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "base/LinkTiming.h"

namespace CLI {
class App;
}

namespace qt40::fleet {
struct FleetTarget;
struct FleetProgress;
class FleetRunner;
}  // namespace qt40::fleet

namespace qt40::cli {

struct LinkOptions;

class FleetCommands {
public:
    FleetCommands(std::ostream& out, std::ostream& err);

    // Adds "fleet" with "scan", "backup" and "compare" to `app`.
    void Register(CLI::App& app, LinkOptions& link);
    // The exit code of the chosen command, or nothing when "fleet" was not chosen.
    std::optional<int> Run(const LinkTiming& timing, int reconnectWaitMs,
                           const std::function<bool()>& interrupted);

private:
    int Scan(fleet::FleetRunner& runner, const std::vector<fleet::FleetTarget>& targets);
    int Backup(fleet::FleetRunner& runner, const std::vector<fleet::FleetTarget>& targets);
    int Compare(fleet::FleetRunner& runner, const std::vector<fleet::FleetTarget>& targets);
    void Progress(const fleet::FleetProgress& p);
    int Fail(const std::string& message, int code);

    std::ostream& out_;
    std::ostream& err_;
    CLI::App* fleet_ = nullptr;
    CLI::App* scan_ = nullptr;
    CLI::App* backup_ = nullptr;
    CLI::App* compare_ = nullptr;
    LinkOptions* link_ = nullptr;
    std::string targetsFile_;
    std::string folder_;  // --out of backup, --in of compare
    std::string report_;
    int jobs_ = 16;
};

}  // namespace qt40::cli
