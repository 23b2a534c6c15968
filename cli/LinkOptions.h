#pragma once
// What every command that talks to a device takes on its command line, in one
// place: an option added here reaches every such command at once.

#include <string>

#include "cli/CliConnection.h"
#include "hart/LinkTiming.h"

namespace CLI {
class App;
}

namespace qt40::cli {

struct LinkOptions {
    std::string port;
    int address = 0;
    bool trace = false;
    std::string line = "9600-8N1";  // a name LineSetting::FromName takes
};

// --port (required), --address unless the command picks addresses itself,
// --line and --trace.
void AddLinkOptions(CLI::App* cmd, LinkOptions& options, bool withAddress = true);
// --trace alone, for commands that name no port.
void AddTraceFlag(CLI::App* cmd, LinkOptions& options);

CliConnection::Options ConnectionOptionsFor(const LinkOptions& options, const LinkTiming& timing,
                                            int reconnectWaitMs);

}  // namespace qt40::cli
