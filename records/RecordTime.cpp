#include "records/RecordTime.h"

namespace qt40 {

std::string LocalTimestamp(std::time_t when) {
    std::tm local{};
#ifdef _WIN32
    if (localtime_s(&local, &when) != 0) return {};
#else
    if (localtime_r(&when, &local) == nullptr) return {};
#endif
    char text[32];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return std::string(text, n);
}

}  // namespace qt40
