#include "resources/FileFilter.h"

#include <vector>

namespace qt40 {

std::string QtFileFilter(const std::string& filter) {
    if (filter.find('|') == std::string::npos) return filter;
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= filter.size()) {
        const std::size_t bar = filter.find('|', start);
        const std::size_t end = bar == std::string::npos ? filter.size() : bar;
        parts.push_back(filter.substr(start, end - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    std::string result;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        const std::string& description = parts[i];
        if (description.empty()) break;  // the closing "||"
        std::string pattern = parts[i + 1];
        for (char& c : pattern) {
            if (c == ';') c = ' ';  // Qt separates patterns by blanks
        }
        if (!result.empty()) result += ";;";
        result += description;
        if (description.find("(" + parts[i + 1] + ")") == std::string::npos) {
            result += " (" + pattern + ")";
        }
    }
    return result;
}

}  // namespace qt40
