#include "cli/UploadCommand.h"

#include <CLI/CLI.hpp>

#include "cli/CliContext.h"
#include "cli/RecordPrinter.h"
#include "files/CFilePropertyReadWrite.h"
#include "files/FileConfigFromDevice.h"
#include "files/Utf8Path.h"

namespace qt40::cli {

UploadCommand::UploadCommand() : CliCommand("upload", "Read the whole configuration") {}

void UploadCommand::AddOptions(CLI::App& command, CliContext& context) {
    AddLinkOptions(&command, context.Link());
    command.add_flag("--json", json_, "One JSON object instead of text");
    command.add_option(
        "--out", outFile_,
        "Also save the configuration file a technician would save from the window program");
}

int UploadCommand::Run(CliContext& context) {
    const LinkOptions& link = context.Link();
    CliConnection connection(context.ConnectionOptions(), context.Out(), context.Interruption());
    const CliOutcome outcome = connection.Connect(link.address);
    if (!outcome.ok) return context.Fail(outcome.error);
    const DeviceRecord record = connection.Record();
    connection.Disconnect();
    if (!outFile_.empty()) {
        // Saved before anything is printed, so a failure leaves one clear line.
        const FileResult saved =
            SaveConfigFile(PathFromUtf8(outFile_), FileConfigFromDevice(record));
        if (!saved.ok()) return context.Fail(saved.error);
    }
    context.Out() << (json_ ? RecordPrinter::UploadJson(record, link.port)
                            : RecordPrinter::Upload(record));
    context.Out().flush();
    return kExitOk;
}

}  // namespace qt40::cli
