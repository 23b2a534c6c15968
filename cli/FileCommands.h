#pragma once
// qt40cfg-cli download and compare: a configuration file against the device.
// "download" writes the file into the device as the comparison pages do and
// reads it back; "compare" only reads. Both print the rows whose device value
// differs from the file.

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "files/ConfigComparison.h"
#include "files/FileConfig.h"
#include "base/LinkTiming.h"

namespace CLI {
class App;
}

namespace qt40::cli {

struct LinkOptions;

// The device holds values other than the file's.
inline constexpr int kExitDiffers = 3;

class FileCommands {
public:
    FileCommands(std::ostream& out, std::ostream& err);

    // Adds "download" and "compare" with their options to `app`.
    void Register(CLI::App& app, LinkOptions& link);
    // The exit code of the chosen command, or nothing when neither was chosen.
    std::optional<int> Run(const LinkTiming& timing, int reconnectWaitMs,
                           const std::function<bool()>& interrupted);

    // The rows a download writes whose texts differ, in the pages' order.
    static std::vector<Field> Differences(const FileConfig& file, const FileConfig& device);
    // One differing row as the commands print it: "caption: file value | device value".
    static std::string RowText(Field field, const FileConfig& file, const FileConfig& device);

private:
    int Download(const LinkTiming& timing, int reconnectWaitMs,
                 const std::function<bool()>& interrupted);
    int Compare(const LinkTiming& timing, int reconnectWaitMs,
                const std::function<bool()>& interrupted);
    std::optional<FileConfig> ReadFile(int& exitCode);
    int Report(const FileConfig& file, const FileConfig& device);
    int Fail(const std::string& message);

    std::ostream& out_;
    std::ostream& err_;
    CLI::App* download_ = nullptr;
    CLI::App* compare_ = nullptr;
    LinkOptions* link_ = nullptr;
    std::string in_;  // the configuration file
};

}  // namespace qt40::cli
