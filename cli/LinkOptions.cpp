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
    cmd->add_option("--capture", options.capture,
                    "Write every exchange into this pcapng file when the command ends "
                    "(Wireshark decodes it as HART-IP)");
}

void AddTraceFlag(CLI::App* cmd, LinkOptions& options) {
    cmd->add_flag("--trace{decoded}", options.trace,
                  "Print every exchange decoded on stderr; --trace=hex: as hex")
        ->check(CLI::IsMember({"decoded", "hex"}));
}

CliConnection::Options ConnectionOptionsFor(const LinkOptions& options, const LinkTiming& timing,
                                            int reconnectWaitMs) {
    CliConnection::Options o;
    o.port = options.port;
    o.trace = options.trace == "hex";
    if (options.traffic) o.observer = &options.traffic->Recorder();
    o.timing = timing;
    o.reconnectWaitMs = reconnectWaitMs;
    return o;
}

}  // namespace qt40::cli
