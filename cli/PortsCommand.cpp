#include "cli/PortsCommand.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/CliContext.h"

#ifdef QT40_CLI_PORT_LIST
#include "ports/CCOMPortEnumerator.h"
#elif defined(_WIN32)
#include "ports/DeviceMapPorts.h"
#elif defined(__linux__)
#include "ports/SysfsPorts.h"
#endif

namespace qt40::cli {
namespace {

std::vector<std::string> SerialPortNames() {
#ifdef QT40_CLI_PORT_LIST
    CCOMPortEnumerator enumerator;
    enumerator.Enumerate();
    std::vector<std::string> lines;
    for (const PortEntry& entry : enumerator.Ports()) {
        std::string line = entry.openName;
        if (!entry.description.empty()) line += "  " + entry.description;
        lines.push_back(line);
    }
    return lines;
#elif defined(_WIN32)
    // Without Qt: the ports the registry's device map holds.
    std::vector<std::string> lines;
    for (const PortEntry& entry : DeviceMapPorts::Entries(DeviceMapPorts::Read())) {
        lines.push_back(entry.openName + "  " + entry.description);
    }
    return lines;
#elif defined(__linux__)
    // Without Qt: what sysfs lists, as the window program lists it.
    std::vector<std::string> lines;
    for (const PortEntry& entry : SysfsPorts::Entries(SysfsPorts::Read())) {
        lines.push_back(entry.openName + "  " + entry.description);
    }
    return lines;
#else
    // Without Qt: the usual serial device nodes.
    std::vector<std::string> lines;
    std::error_code ec;
    for (const auto& node : std::filesystem::directory_iterator("/dev", ec)) {
        const std::string name = node.path().filename().string();
        for (const char* prefix : {"ttyS", "ttyUSB", "ttyACM"}) {
            if (name.rfind(prefix, 0) == 0) lines.push_back(node.path().string());
        }
    }
    std::sort(lines.begin(), lines.end());
    return lines;
#endif
}

}  // namespace

PortsCommand::PortsCommand() : CliCommand("ports", "List the serial ports") {}

void PortsCommand::AddOptions(CLI::App& command, CliContext& context) {
    AddTraceFlag(&command, context.Link());
}

int PortsCommand::Run(CliContext& context) {
    std::ostream& out = context.Out();
    for (const std::string& line : SerialPortNames()) out << line << '\n';
    out.flush();
    return kExitOk;
}

}  // namespace qt40::cli
