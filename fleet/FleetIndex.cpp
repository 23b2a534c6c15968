#include "fleet/FleetIndex.h"

#include <chrono>
#include <cstdio>
#include <set>
#include <utility>

#include "files/CsvText.h"
#include "files/TextFile.h"
#include "files/Utf8Path.h"
#include "fleet/TargetsFile.h"

namespace qt40::fleet {

std::string FleetIndex::Field(std::string_view text) {
    std::string value(text);
    for (char& c : value) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return CsvField(value);
}

namespace {

constexpr const char* kHeading = "endpoint,address,tag,device ID,file,time,result";

std::pair<std::string, std::string> Where(const FleetIndexRow& r) {
    return {TargetsFile::CanonicalEndpoint(r.endpoint), r.address};
}

}  // namespace

std::vector<std::string> FleetIndex::Lines(const std::vector<FleetIndexRow>& rows) {
    std::vector<std::string> lines{kHeading};
    for (const FleetIndexRow& r : rows) {
        std::string line = Field(r.endpoint);
        for (const std::string* f : {&r.address, &r.tag, &r.deviceId, &r.file, &r.time, &r.result}) {
            line += ',' + Field(*f);
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

FileResult FleetIndex::Save(const std::filesystem::path& path,
                            const std::vector<FleetIndexRow>& rows) {
    return SaveTextLines(path, Lines(rows));
}

FileResult FleetIndex::Read(const std::filesystem::path& path, std::vector<FleetIndexRow>& rows) {
    rows.clear();
    std::string text;
    if (FileResult read = ReadTextFile(path, text); !read.ok()) return read;
    const std::vector<std::string> lines = SplitLines(text);
    const std::vector<std::string> heading =
        lines.empty() ? std::vector<std::string>{} : ReadCsvLine(lines.front());
    std::vector<std::string FleetIndexRow::*> columns;
    bool any = false;
    for (const std::string& h : heading) {
        std::string FleetIndexRow::*member = nullptr;
        if (h == "endpoint") member = &FleetIndexRow::endpoint;
        if (h == "address") member = &FleetIndexRow::address;
        if (h == "tag") member = &FleetIndexRow::tag;
        if (h == "device ID") member = &FleetIndexRow::deviceId;
        if (h == "file") member = &FleetIndexRow::file;
        if (h == "time") member = &FleetIndexRow::time;
        if (h == "result") member = &FleetIndexRow::result;
        any = any || member == &FleetIndexRow::file;
        columns.push_back(member);
    }
    if (!any) return FileResult::Failure(Utf8FromPath(path) + " is not an index of a backup");
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].empty()) continue;
        const std::vector<std::string> fields = ReadCsvLine(lines[i]);
        FleetIndexRow row;
        for (std::size_t c = 0; c < fields.size() && c < columns.size(); ++c) {
            if (columns[c]) row.*columns[c] = fields[c];
        }
        rows.push_back(std::move(row));
    }
    return FileResult::Success();
}

std::vector<FleetIndexRow> FleetIndex::Carried(const std::vector<FleetIndexRow>& earlier,
                                               const std::vector<FleetIndexRow>& current,
                                               const std::filesystem::path& folder) {
    std::set<std::pair<std::string, std::string>> saved;  // devices this run has a file of
    std::set<std::string> written;
    for (const FleetIndexRow& r : current) {
        if (r.file.empty()) continue;
        saved.insert(Where(r));
        written.insert(r.file);
    }
    std::vector<FleetIndexRow> kept;
    std::set<std::string> keptFiles;
    for (FleetIndexRow r : earlier) {
        if (r.file.empty() || saved.count(Where(r)) || written.count(r.file) ||
            keptFiles.count(r.file)) {
            continue;
        }
        // Only a plain name inside the folder: the index is no way out of it.
        const std::filesystem::path name = PathFromUtf8(r.file);
        if (name.has_parent_path() || name.is_absolute()) continue;
        std::error_code ec;
        if (!std::filesystem::is_regular_file(folder / name, ec)) continue;
        if (r.result.rfind(kEarlierRun, 0) != 0) r.result = kEarlierRun + r.result;
        keptFiles.insert(r.file);
        kept.push_back(std::move(r));
    }
    return kept;
}

std::string FleetIndex::Now() {
    // Calendar arithmetic of the standard library: no gmtime_r/gmtime_s to
    // tell apart between the platforms.
    using namespace std::chrono;
    const auto now = floor<seconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date(day);
    const hh_mm_ss time(now - day);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(time.hours().count()),
                  int(time.minutes().count()), int(time.seconds().count()));
    return text;
}

}  // namespace qt40::fleet
