#pragma once
// The fleet comparison as one HTML page that stands alone: no script, no
// style sheet, image or font fetched from anywhere, so it opens the same in
// any browser, on a laptop without network, years later. Every text that
// came from a device or a file is escaped.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "files/FileResult.h"

namespace qt40::fleet {

struct FleetReportRow {
    std::string caption;  // the row's name, as compare prints it
    std::string file;
    std::string device;
};

struct FleetReportEntry {
    enum class Status { Matches, Differs, NoSavedFile, NoDevice, OtherModel, Failed };
    Status status = Status::Matches;
    std::string endpoint;
    std::string address;
    std::string tag;
    std::string deviceId;
    std::string model;
    std::string file;
    std::string note;  // an error, or what else a person should know
    std::vector<FleetReportRow> rows;  // the differing rows
};

class FleetReport {
public:
    // The page: a heading with `generatedAt`, a count of each status, the
    // summary table (one line an entry) and a table of differing rows for
    // each device that differs.
    static std::string Html(const std::vector<FleetReportEntry>& entries,
                            std::string_view generatedAt);
    // Through a temporary file: a failed save leaves an older report as it was.
    static FileResult Save(const std::filesystem::path& path,
                           const std::vector<FleetReportEntry>& entries,
                           std::string_view generatedAt);
    static std::string Escape(std::string_view text);
    static const char* StatusText(FleetReportEntry::Status status);
};

}  // namespace qt40::fleet
