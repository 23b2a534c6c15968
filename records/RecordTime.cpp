#include "records/RecordTime.h"

#include <cstdio>
#include <cstdlib>

namespace qt40 {
namespace {

bool Local(std::time_t when, std::tm& out) {
#ifdef _WIN32
    return localtime_s(&out, &when) == 0;
#else
    return localtime_r(&when, &out) != nullptr;
#endif
}

bool Utc(std::time_t when, std::tm& out) {
#ifdef _WIN32
    return gmtime_s(&out, &when) == 0;
#else
    return gmtime_r(&when, &out) != nullptr;
#endif
}

}  // namespace

std::string UtcOffsetText(std::time_t when) {
    std::tm local{};
    std::tm utc{};
    if (!Local(when, local) || !Utc(when, utc)) return {};
    // The UTC fields read as local time lie the offset before `when`. Not
    // %z: the Windows C library writes the zone's name there.
    utc.tm_isdst = local.tm_isdst;
    const std::time_t shifted = std::mktime(&utc);
    if (shifted == static_cast<std::time_t>(-1)) return {};
    const long offset = static_cast<long>(std::difftime(when, shifted)) / 60;
    char text[48];
    std::snprintf(text, sizeof text, "%c%02ld:%02ld", offset < 0 ? '-' : '+',
                  std::labs(offset) / 60, std::labs(offset) % 60);
    return text;
}

std::string LocalTimestamp(std::time_t when) {
    std::tm local{};
    if (!Local(when, local)) return {};
    char text[32];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    const std::string offset = UtcOffsetText(when);
    return std::string(text, n) + (offset.empty() ? "" : " " + offset);
}

}  // namespace qt40
