#include "cli/MonitorCommand.h"

#include <CLI/CLI.hpp>

#include "cli/CliContext.h"
#include "cli/RecordPrinter.h"

namespace qt40::cli {

MonitorCommand::MonitorCommand() : CliCommand("monitor", "Connect and print the live values") {}

void MonitorCommand::AddOptions(CLI::App& command, CliContext& context) {
    AddLinkOptions(&command, context.Link());
    command
        .add_option("--count,-n", count_, "Stop after this many poll cycles (0: until interrupted)")
        ->check(CLI::NonNegativeNumber);
}

int MonitorCommand::Run(CliContext& context) {
    std::ostream& out = context.Out();
    CliConnection connection(context.ConnectionOptions(), out, context.Interruption());
    CliOutcome outcome = connection.Connect(context.Link().address);
    if (!outcome.ok) return context.Fail(outcome.error);
    int lines = 0;
    outcome = connection.Monitor([&](int result) {
        if (result == 200) {
            out << RecordPrinter::MonitorLine(connection.Record(), connection.DeviceStatus());
        } else {
            out << "poll ended with " << result;
        }
        out << '\n' << std::flush;
        return count_ == 0 || ++lines < count_;
    });
    if (!outcome.ok) return context.Fail(outcome.error);
    return kExitOk;
}

}  // namespace qt40::cli
