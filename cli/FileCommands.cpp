#include "cli/FileCommands.h"

#include <fmt/format.h>
#include <CLI/CLI.hpp>

#include "cli/CliApp.h"
#include "cli/CliConnection.h"
#include "cli/LinkOptions.h"
#include "files/CFilePropertyReadWrite.h"
#include "procedures/ConfigDownload.h"
#include "files/FileConfigFromDevice.h"
#include "files/Utf8Path.h"

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

FileCommands::FileCommands(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

void FileCommands::Register(CLI::App& app, LinkOptions& link) {
    link_ = &link;
    download_ = app.add_subcommand(
        "download",
        "Write a configuration file into the device, read it back and print what differs");
    compare_ = app.add_subcommand(
        "compare", "Print the rows whose device value differs from a configuration file");
    for (CLI::App* cmd : {download_, compare_}) {
        AddLinkOptions(cmd, link);
        cmd->add_option("--in", in_, "Configuration file")->required();
    }
}

std::optional<int> FileCommands::Run(const LinkTiming& timing, int reconnectWaitMs,
                                     const std::function<bool()>& interrupted) {
    if (download_ && *download_) return Download(timing, reconnectWaitMs, interrupted);
    if (compare_ && *compare_) return Compare(timing, reconnectWaitMs, interrupted);
    return std::nullopt;
}

int FileCommands::Fail(const std::string& message) {
    out_.flush();
    err_ << "qt40cfg-cli: " << message << '\n' << std::flush;
    return kExitFailed;
}

std::optional<FileConfig> FileCommands::ReadFile(int& exitCode) {
    CFilePropertyReadWrite file;
    const FileResult read = file.Read(PathFromUtf8(in_));
    if (!read.ok()) {
        exitCode = Fail(read.error.empty() ? "cannot read " + in_ : read.error);
        return std::nullopt;
    }
    return file.Values();
}

std::vector<Field> FileCommands::Differences(const FileConfig& file, const FileConfig& device) {
    std::vector<Field> differing;
    for (Field f : FieldsOfSteps(kDownloadStepCount)) {
        if (!IsValueField(f)) continue;
        // The same rule as the pages' "Compare".
        if (!SameFieldText(f, FieldValue(file, f), FieldValue(device, f))) differing.push_back(f);
    }
    return differing;
}

std::string FileCommands::RowText(Field field, const FileConfig& file, const FileConfig& device) {
    return std::string(FieldCaption(field)) + ": " + FieldValue(file, field) + " | " +
           FieldValue(device, field);
}

int FileCommands::Report(const FileConfig& file, const FileConfig& device) {
    const std::vector<Field> differing = Differences(file, device);
    for (Field f : differing) out_ << RowText(f, file, device) << '\n';
    out_.flush();
    return differing.empty() ? kExitOk : kExitDiffers;
}

int FileCommands::Compare(const LinkTiming& timing, int reconnectWaitMs,
                          const std::function<bool()>& interrupted) {
    int code = kExitOk;
    const auto file = ReadFile(code);
    if (!file) return code;
    CliConnection connection(ConnectionOptionsFor(*link_, timing, reconnectWaitMs), out_,
                             interrupted);
    const CliOutcome outcome = connection.Connect(link_->address);
    if (!outcome.ok) return Fail(outcome.error);
    const DeviceRecord record = connection.Record();
    connection.Disconnect();
    return Report(*file, FileConfigFromDevice(record));
}

int FileCommands::Download(const LinkTiming& timing, int reconnectWaitMs,
                           const std::function<bool()>& interrupted) {
    int code = kExitOk;
    const auto file = ReadFile(code);
    if (!file) return code;
    CliConnection connection(ConnectionOptionsFor(*link_, timing, reconnectWaitMs), out_,
                             interrupted);
    ConfigDownload download(connection.Worker(), connection.Controller(), connection.Questions());
    download.OnStep([this](int step, const DownloadStep& s) {
        err_ << "step " << step << "/" << kDownloadStepCount << ": " << Captions(s.fields)
             << " (request " << CodeOf(s.request) << ")\n"
             << std::flush;
    });
    download.Request(*file);
    const CliOutcome outcome = connection.Connect(
        link_->address, [&](const Notification& n) { return download.HandleNotification(n); });
    const DeviceRecord record = connection.Record();
    const int responseCode =
        connection.Worker().WithSession([](DeviceState& s) { return int{s.link.responseCode}; });
    connection.Disconnect();
    if (!outcome.ok) return Fail(outcome.error);

    const auto result = download.LastOutcome();
    const auto stoppedStep = [&] {
        const int at = download.StoppedAt().value_or(0);
        return DownloadSteps()[static_cast<std::size_t>(at)];
    };
    if (!result) return Fail("the download did not start");
    switch (*result) {
        case ConfigDownload::Outcome::Finished:
            return Report(*file, FileConfigFromDevice(record));
        case ConfigDownload::Outcome::Refused:
            return Fail(
                fmt::format("the device at address {} is a {}, not a QT40: nothing was written",
                            link_->address, record.deviceTypeName));
        case ConfigDownload::Outcome::Stopped: {
            const Field field = download.StoppedField().value_or(Field::Tag);
            const std::string& value = FieldValue(*file, field);
            std::string why = fmt::format("\"{}\" cannot be written to the device", value);
            if (value.empty()) {
                why = "the file has no value";
            } else if (!download.StoppedCharacter().empty()) {
                why = fmt::format("\"{}\" holds \"{}\", a character the device cannot store",
                                  value, download.StoppedCharacter());
            }
            return Fail(fmt::format("the download stopped at {}: {}; {}", FieldCaption(field), why,
                                    download.StepsWritten() == 0
                                        ? "nothing was written"
                                        : "the rows before it were written"));
        }
        case ConfigDownload::Outcome::Aborted:
            if (!download.StoppedAt()) {
                return Fail("the device refused the identification: nothing was written");
            }
            return Fail(fmt::format(
                "the device refused {} (request {}, response code {}); the rows before it were "
                "written",
                Captions(stoppedStep().fields), CodeOf(stoppedStep().request), responseCode));
        case ConfigDownload::Outcome::Failed:
            break;
    }
    // A device that stayed busy is told in words; nothing is half-said.
    if (const auto& why = connection.Worker().Link().LinkMessage()) {
        return Fail("the connection was given up during the download: " +
                    DescribeMessage(why->key, why->args));
    }
    return Fail("the connection was given up during the download");
}

}  // namespace qt40::cli
