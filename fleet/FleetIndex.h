#pragma once
// index.csv of a fleet backup: one row a device or endpoint, for a person
// with a spreadsheet and for scripts. RFC 4180 quoting, CR LF line ends.
// A backup run keeps the rows of earlier runs whose files are still there
// and that it did not replace; compare reads the devices from it.

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
    // The rows of an index.csv, columns found by their headings (so a file
    // with more columns reads too). NotOpened when there is no such file;
    // Failed when its first line is not our heading.
    static FileResult Read(const std::filesystem::path& path, std::vector<FleetIndexRow>& rows);
    // The rows of an earlier index that a new run keeps beside its own
    // `current` rows: those whose file is still in `folder`, for a device
    // (endpoint and address) of which this run saved no file, under a name
    // this run did not write. They keep their time; their result says that
    // they come from an earlier run.
    static std::vector<FleetIndexRow> Carried(const std::vector<FleetIndexRow>& earlier,
                                              const std::vector<FleetIndexRow>& current,
                                              const std::filesystem::path& folder);
    // The result of a carried row.
    static constexpr const char* kEarlierRun = "earlier run: ";
    // One field as every CSV file of ours writes it (files/CsvText: quoted,
    // guarded against formulas); a line break, which no device text should
    // hold, becomes a blank so one row stays one line.
    static std::string Field(std::string_view text);
    // Now, as "2026-03-01T12:34:56Z".
    static std::string Now();
};

}  // namespace qt40::fleet
