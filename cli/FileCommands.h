#pragma once
// What qt40cfg-cli download and compare share: a configuration file against
// the device. "download" writes the file into the device as the comparison
// pages do and reads it back; "compare" only reads. Both print the rows whose
// device value differs from the file.

#include <optional>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "files/ConfigComparison.h"
#include "files/FileConfig.h"

namespace qt40::cli {

// The device holds values other than the file's.
inline constexpr int kExitDiffers = 3;

// The rows a download writes whose texts differ, in the pages' order.
std::vector<Field> ConfigDifferences(const FileConfig& file, const FileConfig& device);
// One differing row as the commands print it: "caption: file value | device value".
std::string DifferenceRowText(Field field, const FileConfig& file, const FileConfig& device);

// A command on a configuration file (--in) and a device.
class ConfigFileCommand : public CliCommand {
protected:
    using CliCommand::CliCommand;

    // The link options and --in.
    void AddOptions(CLI::App& command, CliContext& context) override;
    // The file --in names; nothing, with the failure told and its exit code
    // in `exitCode`, when it cannot be read.
    std::optional<FileConfig> ReadFile(CliContext& context, int& exitCode) const;
    // Prints the rows that differ; exit 0, or kExitDiffers when one does.
    static int Report(CliContext& context, const FileConfig& file, const FileConfig& device);
    const std::string& InFile() const { return in_; }

private:
    std::string in_;
};

}  // namespace qt40::cli
