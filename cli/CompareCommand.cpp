#include "cli/CompareCommand.h"

#include "cli/CliContext.h"
#include "files/FileConfigFromDevice.h"

namespace qt40::cli {

CompareCommand::CompareCommand()
    : ConfigFileCommand("compare",
                        "Print the rows whose device value differs from a configuration file") {}

int CompareCommand::Run(CliContext& context) {
    int code = kExitOk;
    const auto file = ReadFile(context, code);
    if (!file) return code;
    CliConnection connection(context.ConnectionOptions(), context.Out(), context.Interruption());
    const CliOutcome outcome = connection.Connect(context.Link().address);
    if (!outcome.ok) return context.Fail(outcome.error);
    const DeviceRecord record = connection.Record();
    connection.Disconnect();
    return Report(context, *file, FileConfigFromDevice(record));
}

}  // namespace qt40::cli
