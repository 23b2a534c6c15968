#pragma once
// One connection of the command-line tool: the headless connection below it,
// under the names the commands use.

#include "cli/EnglishMessages.h"
#include "procedures/HeadlessConnection.h"

namespace qt40::cli {

// The --port option's help, as the system names its ports.
#ifdef _WIN32
inline constexpr const char* kPortHelp =
    "Serial port (COM3, COM12 or \\\\.\\COM12) or HART-IP gateway (hartip://HOST[:PORT], "
    "hartip+udp://HOST[:PORT], /CARD/CHANNEL after it for a device behind an I/O system)";
#else
inline constexpr const char* kPortHelp =
    "Serial port (a name under /dev or a path) or HART-IP gateway (hartip://HOST[:PORT], "
    "hartip+udp://HOST[:PORT], /CARD/CHANNEL after it for a device behind an I/O system)";
#endif

using CliOutcome = ConnectionOutcome;
// Messages the language file has words for come in English.lng's words.
class CliConnection : public HeadlessConnection {
public:
    CliConnection(Options options, std::ostream& out, std::function<bool()> interrupted)
        : HeadlessConnection(WithWords(std::move(options)), out, std::move(interrupted)) {}

private:
    static Options WithWords(Options options) {
        if (!options.words) options.words = DescribeMessage;
        return options;
    }
};

}  // namespace qt40::cli
