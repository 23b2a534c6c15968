#pragma once
// qt40cfg-cli: the protocol core from a terminal. Each command prints its
// result on `out`; a failure is one line on `err` and a non-zero exit code.
// CliApp is the registry of the subcommands (one CliCommand each): it builds
// the command line from them, parses it and runs the one chosen.

#include <ostream>
#include <string>
#include <vector>

#include "base/LinkTiming.h"
#include "cli/CliContext.h"

namespace qt40::cli {

class CliApp {
public:
    CliApp(std::ostream& out, std::ostream& err);

    // `argv[0]` is the program name.
    int Run(int argc, const char* const* argv);
    // The arguments after the program name.
    int Run(const std::vector<std::string>& args);

    // Ends a running `sim` or `monitor` (and any wait) soon; any thread.
    void RequestStop() { context_.RequestStop(); }
    // Let SIGINT and SIGTERM end waits; the caller has blocked them in every
    // thread, so they wait here instead of killing the process.
    void WatchSignals(bool on) { context_.WatchSignals(on); }
    // Tests shorten the link's timing and the pause before a reconnect.
    void SetTiming(const LinkTiming& timing, int reconnectWaitMs) {
        context_.SetTiming(timing, reconnectWaitMs);
    }

private:
    CliContext context_;
};

}  // namespace qt40::cli
