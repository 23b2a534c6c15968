#include "cli/SearchCommand.h"

#include <CLI/CLI.hpp>

#include "cli/CliContext.h"
#include "cli/RecordPrinter.h"

namespace qt40::cli {

SearchCommand::SearchCommand()
    : CliCommand("search", "Search the polling addresses for a device") {}

void SearchCommand::AddOptions(CLI::App& command, CliContext& context) {
    AddLinkOptions(&command, context.Link(), false);
    command.add_option("--from", from_, "First address tried")->check(PollingAddressRange());
}

int SearchCommand::Run(CliContext& context) {
    CliConnection connection(context.ConnectionOptions(), context.Out(), context.Interruption());
    const CliOutcome outcome = connection.Search(from_);
    if (!outcome.ok) return context.Fail(outcome.error);
    context.Out() << "found: address " << *connection.FoundAddress() << '\n'
                  << RecordPrinter::Identity(connection.Record());
    context.Out().flush();
    return kExitOk;
}

}  // namespace qt40::cli
