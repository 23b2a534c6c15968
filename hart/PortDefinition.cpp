#include "PortDefinition.h"

#include <cctype>

namespace qt40 {
namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

}  // namespace

PortDefinition PortDefinition::Parse(std::string_view definition) {
    PortDefinition result;
    std::string_view name = Trimmed(definition);
    if (const auto colon = name.rfind(':'); colon != std::string_view::npos) {
        const std::string_view tail = Trimmed(name.substr(colon + 1));
        if (tail.empty()) {
            name = name.substr(0, colon);
        } else if (const auto line = LineSetting::FromDefinition(tail)) {
            // Only a tail that is all settings is cut off: "…:1.0-port0" is part of the name.
            result.line = *line;
            name = name.substr(0, colon);
        }
    }
    name = Trimmed(name);
    if (name.find_first_not_of(':') == std::string_view::npos) return result;
    result.name = std::string(name);
    return result;
}

std::string PortDefinition::Text(const std::string& name, const LineSetting& line) {
    return name + ": " + line.Definition();
}

bool PortDefinition::IsUrl(std::string_view name) {
    return StartsWithNoCase(name, "hartip://") || StartsWithNoCase(name, "hartip+udp://");
}

}  // namespace qt40
