#include "fleet/BackupNaming.h"

namespace qt40::fleet {
namespace {

std::string SafePart(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    text = text.substr(first, text.find_last_not_of(' ') - first + 1);
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        const bool refused = u < 0x20 || u >= 0x7F || c == ' ' ||
                             std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos;
        out += refused ? '_' : c;
    }
    // "." or ".." would name a folder, a leading dot hides the file.
    if (!out.empty() && out.front() == '.') out.front() = '_';
    return out;
}

}  // namespace

std::string BackupFileName(std::string_view tag, std::string_view deviceId) {
    std::string name = SafePart(tag);
    if (name.empty()) name = "untagged";
    std::string id = SafePart(deviceId);
    if (id.empty()) id = "unknown";
    return name + "_" + id + ".txt";
}

std::string BackupFileName(std::string_view tag, std::string_view deviceId,
                           std::string_view endpoint, int address) {
    const std::string plain = BackupFileName(tag, deviceId);
    std::string place = SafePart(endpoint);
    // "/dev/ttyUSB0" and "hartip://gw" start with what became blanks.
    const std::size_t first = place.find_first_not_of('_');
    place = first == std::string::npos ? std::string("port") : place.substr(first);
    return plain.substr(0, plain.size() - 4) + "@" + place + "-" + std::to_string(address) + ".txt";
}

}  // namespace qt40::fleet
