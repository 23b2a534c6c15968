#include "cli/LinkOptions.h"

#include <CLI/CLI.hpp>

namespace qt40::cli {

void AddLinkOptions(CLI::App* cmd, LinkOptions& options, bool withAddress) {
    cmd->add_option("--port,-p", options.port, kPortHelp)->required();
    if (withAddress) {
        cmd->add_option("--address,-a", options.address, "Polling address")
            ->check(CLI::Range(0, 15));
    }
    AddTraceFlag(cmd, options);
}

void AddTraceFlag(CLI::App* cmd, LinkOptions& options) {
    cmd->add_flag("--trace", options.trace, "Print the hex trace of every exchange on stderr");
}

CliConnection::Options ConnectionOptionsFor(const LinkOptions& options, const LinkTiming& timing,
                                            int reconnectWaitMs) {
    CliConnection::Options o;
    o.port = options.port;
    o.trace = options.trace;
    o.timing = timing;
    o.reconnectWaitMs = reconnectWaitMs;
    return o;
}

}  // namespace qt40::cli
