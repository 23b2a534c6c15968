#include "LineSetting.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace qt40 {
namespace {

std::string Upper(std::string_view text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper;
}

std::optional<int> Number(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

bool IsBaud(int baud) {
    for (const int b : {1200, 2400, 4800, 9600, 19200}) {
        if (baud == b) return true;
    }
    return false;
}

}  // namespace

const std::vector<std::string>& LineSetting::Names() {
    static const std::vector<std::string> names{"9600-8N1", "1200-8O1"};
    return names;
}

std::optional<LineSetting> LineSetting::FromName(std::string_view name) {
    const std::string upper = Upper(name);
    if (upper == "9600-8N1") return LineSetting{};
    if (upper == "1200-8O1") return LineSetting{1200, 'O', 8, 1};
    return std::nullopt;
}

std::string LineSetting::Name() const {
    return std::to_string(baud) + "-" + std::to_string(dataBits) + parity +
           std::to_string(stopBits);
}

std::string LineSetting::Definition() const {
    return "baud=" + std::to_string(baud) + " parity=" + parity +
           " data=" + std::to_string(dataBits) + " stop=" + std::to_string(stopBits);
}

std::optional<LineSetting> LineSetting::FromDefinition(std::string_view text) {
    LineSetting line;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ' || text[i] == '\t') {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && text[end] != ' ' && text[end] != '\t') ++end;
        const std::string_view token = text.substr(i, end - i);
        i = end;
        const auto equals = token.find('=');
        if (equals == std::string_view::npos) return std::nullopt;
        const std::string key = Upper(token.substr(0, equals));
        const std::string value = Upper(token.substr(equals + 1));
        if (key == "PARITY") {
            if (value != "N" && value != "O" && value != "E") return std::nullopt;
            line.parity = value[0];
            continue;
        }
        const auto n = Number(value);
        if (!n) return std::nullopt;
        if (key == "BAUD" && IsBaud(*n)) {
            line.baud = *n;
        } else if (key == "DATA" && (*n == 7 || *n == 8)) {
            line.dataBits = *n;
        } else if (key == "STOP" && (*n == 1 || *n == 2)) {
            line.stopBits = *n;
        } else {
            return std::nullopt;
        }
    }
    return line;
}

int LineSetting::WireMs(std::size_t chars) const {
    const long long bits = static_cast<long long>(chars) * BitsPerChar();
    return static_cast<int>((bits * 1000 + baud - 1) / baud);
}

}  // namespace qt40
