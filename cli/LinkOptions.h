#pragma once
// What every command that talks to a device takes on its command line, in one
// place: an option added here reaches every such command at once.

#include <memory>
#include <string>

#include "cli/CliConnection.h"
#include "cli/CliTraffic.h"
#include "base/LinkTiming.h"
#include "transport/HartIpClient.h"

namespace CLI {
class App;
class Range;
}

namespace qt40::cli {

struct LinkOptions {
    std::string port;
    int address = 0;
    std::string trace;    // "" none, "decoded", "hex"
    std::string line = "9600-8N1";  // a name LineSetting::FromName takes
    std::string capture;  // a pcapng file to write when the command ends
    // How long a HART-IP gateway may take to answer a request.
    int hartIpTimeoutMs = HartIpClientOptions{}.answerTimeoutMs;
    // What the link records, while a capture or a decoded trace is asked for.
    std::shared_ptr<CliTraffic> traffic;
};

// --port (required), --address unless the command picks addresses itself,
// --line, --hartip-timeout, --trace and --capture.
void AddLinkOptions(CLI::App* cmd, LinkOptions& options, bool withAddress = true);
// The polling addresses a device may have, from `lowest` on.
CLI::Range PollingAddressRange(int lowest = 0);
// --hartip-timeout alone, for commands that name their endpoints elsewhere.
void AddHartIpTimeout(CLI::App* cmd, LinkOptions& options);
// --trace alone, for commands that name no port.
void AddTraceFlag(CLI::App* cmd, LinkOptions& options);

CliConnection::Options ConnectionOptionsFor(const LinkOptions& options, const LinkTiming& timing,
                                            int reconnectWaitMs);

}  // namespace qt40::cli
