#include "fleet/FleetIndex.h"

#include <chrono>
#include <cstdio>

#include "files/TextFile.h"

namespace qt40::fleet {

std::string FleetIndex::Field(std::string_view text) {
    std::string value(text);
    for (char& c : value) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    if (value.find_first_of(",\"") == std::string::npos) return value;
    std::string quoted = "\"";
    for (char c : value) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::vector<std::string> FleetIndex::Lines(const std::vector<FleetIndexRow>& rows) {
    std::vector<std::string> lines{"endpoint,address,tag,device ID,file,time,result"};
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
