#include "fleet/FleetIndex.h"

#include <chrono>
#include <ctime>

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
    const std::time_t now =
        std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &now);
#else
    gmtime_r(&now, &utc);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

}  // namespace qt40::fleet
