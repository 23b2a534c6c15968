#include "cli/FileCommands.h"

#include <CLI/CLI.hpp>

#include "cli/CliContext.h"
#include "files/CFilePropertyReadWrite.h"
#include "files/Utf8Path.h"
#include "procedures/ConfigDownload.h"

namespace qt40::cli {

std::vector<Field> ConfigDifferences(const FileConfig& file, const FileConfig& device) {
    std::vector<Field> differing;
    for (Field f : FieldsOfSteps(kDownloadStepCount)) {
        if (!IsValueField(f)) continue;
        // The same rule as the pages' "Compare".
        if (!SameFieldText(f, FieldValue(file, f), FieldValue(device, f))) differing.push_back(f);
    }
    return differing;
}

std::string DifferenceRowText(Field field, const FileConfig& file, const FileConfig& device) {
    return std::string(FieldCaption(field)) + ": " + FieldValue(file, field) + " | " +
           FieldValue(device, field);
}

void ConfigFileCommand::AddOptions(CLI::App& command, CliContext& context) {
    AddLinkOptions(&command, context.Link());
    command.add_option("--in", in_, "Configuration file")->required();
}

std::optional<FileConfig> ConfigFileCommand::ReadFile(CliContext& context, int& exitCode) const {
    CFilePropertyReadWrite file;
    const FileResult read = file.Read(PathFromUtf8(in_));
    if (!read.ok()) {
        exitCode = context.Fail(read.error.empty() ? "cannot read " + in_ : read.error);
        return std::nullopt;
    }
    return file.Values();
}

int ConfigFileCommand::Report(CliContext& context, const FileConfig& file,
                              const FileConfig& device) {
    const std::vector<Field> differing = ConfigDifferences(file, device);
    for (Field f : differing) context.Out() << DifferenceRowText(f, file, device) << '\n';
    context.Out().flush();
    return differing.empty() ? kExitOk : kExitDiffers;
}

}  // namespace qt40::cli
