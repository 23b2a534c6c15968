#pragma once
// One connection of the command-line tool: the headless connection below it,
// under the names the commands use.

#include "hart/HeadlessConnection.h"

namespace qt40::cli {

// The --port option's help, as the system names its ports.
#ifdef _WIN32
inline constexpr const char* kPortHelp = "Serial port: COM3, COM12 or \\\\.\\COM12";
#else
inline constexpr const char* kPortHelp = "Serial port: a name under /dev or a path";
#endif

using CliOutcome = ConnectionOutcome;
class CliConnection : public HeadlessConnection {
public:
    using HeadlessConnection::HeadlessConnection;
};

}  // namespace qt40::cli
