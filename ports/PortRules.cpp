#include "ports/PortRules.h"

#include <algorithm>
#include <cctype>

namespace qt40 {

namespace {

bool StartsWithCom(const std::string& text) {
    return text.size() > 3 && std::toupper(static_cast<unsigned char>(text[0])) == 'C' &&
           std::toupper(static_cast<unsigned char>(text[1])) == 'O' &&
           std::toupper(static_cast<unsigned char>(text[2])) == 'M';
}

// The port number of "COM" + `rest`; `allowColon` lets ':' stand among the
// digits, which the number ignores. Absurdly large numbers are no port.
std::optional<unsigned> PortNumber(const std::string& text, bool allowColon) {
    if (!StartsWithCom(text)) return std::nullopt;
    unsigned number = 0;
    bool digit = false;
    for (std::size_t i = 3; i < text.size(); ++i) {
        const char c = text[i];
        if (std::isdigit(static_cast<unsigned char>(c)) != 0) {
            number = number * 10 + static_cast<unsigned>(c - '0');
            if (number > 65535) return std::nullopt;
            digit = true;
        } else if (!(allowColon && c == ':')) {
            return std::nullopt;
        }
    }
    if (!digit) return std::nullopt;
    return number;
}

}  // namespace

PortEntry EntryFromNumber(unsigned number, std::string description) {
    const std::string portName = "COM" + std::to_string(number);
    return {number < 10 ? portName : "\\\\.\\" + portName, portName, std::move(description)};
}

std::optional<PortEntry> EntryFromSerialPortId(const std::string& deviceId,
                                               const std::string& name) {
    const auto number = PortNumber(deviceId, true);
    if (!number) return std::nullopt;
    PortEntry entry = EntryFromNumber(*number, name);
    if (entry.description.find(entry.portName) == std::string::npos) {
        entry.description += " (" + entry.portName + ")";
    }
    return entry;
}

std::optional<PortEntry> EntryFromRegistryPortName(const std::string& portName,
                                                   const std::string& friendlyName) {
    const auto number = PortNumber(portName, false);
    if (!number) return std::nullopt;
    return EntryFromNumber(*number, friendlyName);
}

std::optional<PortEntry> EntryFromDeviceNode(const std::string& portName,
                                             const std::string& systemLocation,
                                             const std::string& description) {
    if (portName.empty() || systemLocation.empty()) return std::nullopt;
    PortEntry entry{systemLocation, portName, description};
    if (entry.description.empty()) {
        entry.description = portName;
    } else if (entry.description.find(portName) == std::string::npos) {
        entry.description += " (" + portName + ")";
    }
    return entry;
}

void SortAndDeduplicate(std::vector<PortEntry>& entries) {
    std::stable_sort(entries.begin(), entries.end(), [](const PortEntry& a, const PortEntry& b) {
        return a.portName < b.portName;
    });
    entries.erase(std::unique(entries.begin(), entries.end(),
                              [](const PortEntry& a, const PortEntry& b) {
                                  return a.portName == b.portName;
                              }),
                  entries.end());
}

}  // namespace qt40
