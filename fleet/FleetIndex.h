#pragma once
// index.csv of a fleet backup: one row a device or endpoint, for a person
// with a spreadsheet and for scripts. RFC 4180 quoting, CR LF line ends.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "files/FileResult.h"

namespace qt40::fleet {

struct FleetIndexRow {
    std::string endpoint;
    std::string address;  // empty on a row about the whole endpoint
    std::string tag;
    std::string deviceId;
    std::string file;  // name inside the backup folder; empty when nothing was saved
    std::string time;  // UTC, ISO 8601
    std::string result;
};

class FleetIndex {
public:
    // The header line and one line a row.
    static std::vector<std::string> Lines(const std::vector<FleetIndexRow>& rows);
    // Through a temporary file: a failed save leaves an older index as it was.
    static FileResult Save(const std::filesystem::path& path, const std::vector<FleetIndexRow>& rows);
    // One field, quoted when it holds a comma, a quote or a line break (a
    // line break, which no device text should hold, becomes a blank).
    static std::string Field(std::string_view text);
    // Now, as "2026-03-01T12:34:56Z".
    static std::string Now();
};

}  // namespace qt40::fleet
