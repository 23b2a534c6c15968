#include "cli/FleetScanCommand.h"

#include <CLI/CLI.hpp>

#include <cstdio>

#include "cli/CliContext.h"
#include "cli/RecordPrinter.h"

namespace qt40::cli {

using fleet::FleetDevice;
using fleet::FleetEndpoint;

namespace {

std::string StatusText(std::uint8_t status) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", status);
    const std::string flags = RecordPrinter::StatusFlags(status);
    return flags.empty() ? hex : std::string(hex) + " " + flags;
}

}  // namespace

FleetScanCommand::FleetScanCommand()
    : FleetCommand("scan", "List every device the targets file reaches") {}

int FleetScanCommand::RunOn(CliContext& context, fleet::FleetRunner& runner,
                            const std::vector<fleet::FleetTarget>& targets) {
    std::ostream& out = context.Out();
    std::ostream& err = context.Err();
    FleetCollected c = RunFleet(runner, targets, err);
    for (const FleetDevice& d : c.devices) {
        if (d.kind == FleetDevice::Kind::Failed) continue;
        const bool qt40 = d.kind == FleetDevice::Kind::Qt40;
        out << d.endpoint << '\t' << d.address << '\t' << (qt40 ? Trimmed(d.record.tag) : "-")
            << '\t' << d.record.deviceIdText << '\t' << d.Model() << '\t'
            << StatusText(d.deviceStatus) << '\n';
    }
    out.flush();
    return c.AnyFailed() ? kExitFailed : kExitOk;
}

}  // namespace qt40::cli
