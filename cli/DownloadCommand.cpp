#include "cli/DownloadCommand.h"

#include <fmt/format.h>

#include "cli/CliContext.h"
#include "files/FileConfigFromDevice.h"
#include "procedures/ConfigDownload.h"

namespace qt40::cli {
namespace {

std::string Captions(const std::vector<Field>& fields) {
    std::string text;
    for (Field f : fields) {
        if (!text.empty()) text += ", ";
        text += FieldCaption(f);
    }
    return text;
}

}  // namespace

DownloadCommand::DownloadCommand()
    : ConfigFileCommand(
          "download",
          "Write a configuration file into the device, read it back and print what differs") {}

int DownloadCommand::Run(CliContext& context) {
    int code = kExitOk;
    const auto file = ReadFile(context, code);
    if (!file) return code;
    const LinkOptions& link = context.Link();
    CliConnection connection(context.ConnectionOptions(), context.Out(), context.Interruption());
    ConfigDownload download(connection.Worker(), connection.Controller(), connection.Questions());
    download.OnStep([&context](int step, const DownloadStep& s) {
        context.Err() << "step " << step << "/" << kDownloadStepCount << ": " << Captions(s.fields)
                      << " (request " << CodeOf(s.request) << ")\n"
                      << std::flush;
    });
    download.Request(*file);
    const CliOutcome outcome = connection.Connect(
        link.address, [&](const Notification& n) { return download.HandleNotification(n); });
    const DeviceRecord record = connection.Record();
    const int responseCode =
        connection.Worker().WithSession([](DeviceState& s) { return int{s.link.responseCode}; });
    connection.Disconnect();
    if (!outcome.ok) return context.Fail(outcome.error);

    const auto result = download.LastOutcome();
    const auto stoppedStep = [&] {
        const int at = download.StoppedAt().value_or(0);
        return DownloadSteps()[static_cast<std::size_t>(at)];
    };
    if (!result) return context.Fail("the download did not start");
    switch (*result) {
        case ConfigDownload::Outcome::Finished:
            return Report(context, *file, FileConfigFromDevice(record));
        case ConfigDownload::Outcome::Refused:
            return context.Fail(
                fmt::format("the device at address {} is a {}, not a QT40: nothing was written",
                            link.address, record.deviceTypeName));
        case ConfigDownload::Outcome::Stopped: {
            const Field field = download.StoppedField().value_or(Field::Tag);
            const std::string& value = FieldValue(*file, field);
            std::string why = fmt::format("\"{}\" cannot be written to the device", value);
            if (value.empty()) {
                why = "the file has no value";
            } else if (!download.StoppedCharacter().empty()) {
                why = fmt::format("\"{}\" holds \"{}\", a character the device cannot store", value,
                                  download.StoppedCharacter());
            }
            return context.Fail(
                fmt::format("the download stopped at {}: {}; {}", FieldCaption(field), why,
                            download.StepsWritten() == 0 ? "nothing was written"
                                                         : "the rows before it were written"));
        }
        case ConfigDownload::Outcome::Aborted:
            if (!download.StoppedAt()) {
                return context.Fail("the device refused the identification: nothing was written");
            }
            return context.Fail(fmt::format(
                "the device refused {} (request {}, response code {}); the rows before it were "
                "written",
                Captions(stoppedStep().fields), CodeOf(stoppedStep().request), responseCode));
        case ConfigDownload::Outcome::Failed:
            break;
    }
    // A device that stayed busy is told in words; nothing is half-said.
    if (const auto& why = connection.Worker().Link().LinkMessage()) {
        return context.Fail("the connection was given up during the download: " +
                            DescribeMessage(why->key, why->args));
    }
    return context.Fail("the connection was given up during the download");
}

}  // namespace qt40::cli
