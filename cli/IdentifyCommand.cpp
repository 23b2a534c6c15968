#include "cli/IdentifyCommand.h"

#include "cli/CliContext.h"
#include "cli/RecordPrinter.h"

namespace qt40::cli {

IdentifyCommand::IdentifyCommand() : CliCommand("identify", "Identify the device at an address") {}

void IdentifyCommand::AddOptions(CLI::App& command, CliContext& context) {
    AddLinkOptions(&command, context.Link());
}

int IdentifyCommand::Run(CliContext& context) {
    const LinkOptions& link = context.Link();
    CliConnection connection(context.ConnectionOptions(), context.Out(), context.Interruption());
    const CliOutcome outcome = connection.Identify(link.address);
    if (!outcome.ok) return context.Fail(outcome.error);
    context.Out() << "address: " << link.address << '\n'
                  << RecordPrinter::Identity(connection.Record());
    context.Out().flush();
    return kExitOk;
}

}  // namespace qt40::cli
