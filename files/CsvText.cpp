#include "files/CsvText.h"

namespace qt40 {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Digits with at most one point, at least one digit; from `i`, moved past them.
bool Mantissa(std::string_view text, std::size_t& i) {
    bool digit = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (IsDigit(text[i])) {
            digit = true;
        } else if (text[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    return digit;
}

}  // namespace

bool IsCsvNumber(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    if (!Mantissa(text, i)) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
        const std::size_t digits = i;
        while (i < text.size() && IsDigit(text[i])) ++i;
        if (i == digits) return false;
    }
    return i == text.size();
}

std::string CsvField(std::string_view text) {
    std::string field(text);
    const bool formula =
        !field.empty() && std::string_view("=+-@\t\r").find(field[0]) != std::string_view::npos;
    if ((formula && !IsCsvNumber(field)) || (!field.empty() && field[0] == '\'')) {
        field.insert(0, 1, '\'');
    }
    if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
    std::string quoted = "\"";
    for (char c : field) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string CsvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i) line += ',';
        line += CsvField(fields[i]);
    }
    return line;
}

std::vector<std::string> ReadCsvLine(std::string_view line) {
    std::vector<std::string> fields;
    std::size_t i = 0;
    for (;;) {
        std::string field;
        if (i < line.size() && line[i] == '"') {
            for (++i; i < line.size(); ++i) {
                if (line[i] != '"') {
                    field += line[i];
                } else if (i + 1 < line.size() && line[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
            // Anything between the closing quote and the comma belongs to the field.
            while (i < line.size() && line[i] != ',') field += line[i++];
        } else {
            while (i < line.size() && line[i] != ',') field += line[i++];
        }
        if (!field.empty() && field[0] == '\'') field.erase(0, 1);
        fields.push_back(std::move(field));
        if (i >= line.size()) break;
        ++i;  // the comma
    }
    return fields;
}

}  // namespace qt40
