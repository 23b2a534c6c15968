#include "resources/MessageFormat.h"

#include <fmt/args.h>
#include <fmt/printf.h>

#include <cctype>
#include <cstring>
#include <exception>

namespace qt40 {

namespace {

// Widths and precisions beyond this are a broken text, not a layout wish; they
// would only make the formatter allocate.
constexpr long kMaxWidth = 256;

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

struct Conversion {
    int position = -1;  // 0-based for "%N$", else -1
    ArgType type = ArgType::Text;
    std::size_t end = 0;  // index after the conversion character
    std::string error;
};

// Reads a number of at most `limit` value; -1 when it is larger.
long ReadNumber(const std::string& s, std::size_t& i, long limit) {
    long value = 0;
    while (i < s.size() && IsDigit(s[i])) {
        value = value * 10 + (s[i] - '0');
        if (value > limit) value = limit + 1;
        ++i;
    }
    return value > limit ? -1 : value;
}

// Parses one printf conversion; `i` is the index after the '%'.
Conversion ParseConversion(const std::string& s, std::size_t i, bool positionalAllowed) {
    Conversion c;
    std::size_t j = i;
    while (j < s.size() && IsDigit(s[j])) ++j;
    if (positionalAllowed && j > i && j < s.size() && s[j] == '$') {
        const long n = ReadNumber(s, i, 99);
        if (n < 1) {
            c.error = "bad argument position";
            return c;
        }
        c.position = static_cast<int>(n - 1);
        i = j + 1;
    }
    while (i < s.size() && s[i] != '\0' && std::strchr("-+ #0", s[i]) != nullptr) ++i;
    if (i < s.size() && s[i] == '*') {
        c.error = "a '*' width reads an argument of its own";
        return c;
    }
    if (ReadNumber(s, i, kMaxWidth) < 0) {
        c.error = "width too large";
        return c;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        if (i < s.size() && s[i] == '*') {
            c.error = "a '*' precision reads an argument of its own";
            return c;
        }
        if (ReadNumber(s, i, kMaxWidth) < 0) {
            c.error = "precision too large";
            return c;
        }
    }
    if (i + 1 < s.size() &&
        ((s[i] == 'h' && s[i + 1] == 'h') || (s[i] == 'l' && s[i + 1] == 'l'))) {
        i += 2;
    } else if (i < s.size() && s[i] != '\0' && std::strchr("hlLjzt", s[i]) != nullptr) {
        ++i;
    }
    if (i >= s.size()) {
        c.error = "incomplete placeholder at the end";
        return c;
    }
    const char conv = s[i];
    if (conv != '\0' && std::strchr("diouxXc", conv) != nullptr) {
        c.type = ArgType::Integer;
    } else if (conv != '\0' && std::strchr("eEfFgGaA", conv) != nullptr) {
        c.type = ArgType::Real;
    } else if (conv == 's') {
        c.type = ArgType::Text;
    } else {
        c.error = std::string("unsupported conversion '%") + conv + "'";
        return c;
    }
    c.end = i + 1;
    return c;
}

bool Record(PlaceholderScan& scan, int index, ArgType type) {
    auto [it, inserted] = scan.uses.emplace(index, type);
    if (!inserted && it->second != type) {
        scan.error = "argument " + std::to_string(index + 1) + " is read as both " +
                     ArgTypeName(it->second) + " and " + ArgTypeName(type);
        return false;
    }
    return true;
}

// The insert number at `i` (after '%'), 1 ... 99, advancing `i`; 0 if none.
int ReadInsertNumber(const std::string& s, std::size_t& i) {
    if (i >= s.size() || s[i] < '1' || s[i] > '9') return 0;
    int n = s[i++] - '0';
    if (i < s.size() && IsDigit(s[i])) n = n * 10 + (s[i++] - '0');
    return n;
}

std::vector<ArgType> TypesOf(const MessageArgs& args) {
    std::vector<ArgType> types;
    types.reserve(args.size());
    for (const auto& arg : args) types.push_back(ArgTypeOf(arg));
    return types;
}

// fmt's printf with a run-time argument list; throws fmt::format_error.
std::string RunPrintf(const std::string& text, const MessageArgs& args) {
    fmt::dynamic_format_arg_store<fmt::printf_context> store;
    for (const auto& arg : args) std::visit([&store](const auto& v) { store.push_back(v); }, arg);
    return fmt::vsprintf(fmt::string_view(text),
                         fmt::basic_format_args<fmt::printf_context>(store));
}

}  // namespace

const char* ArgTypeName(ArgType type) {
    switch (type) {
        case ArgType::Integer:
            return "integer";
        case ArgType::Real:
            return "real";
        case ArgType::Text:
            return "text";
    }
    return "?";
}

ArgType ArgTypeOf(const MessageArg& arg) {
    if (std::holds_alternative<long long>(arg)) return ArgType::Integer;
    if (std::holds_alternative<double>(arg)) return ArgType::Real;
    return ArgType::Text;
}

bool UsesInserts(const std::string& text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '%') continue;
        if (text[i + 1] == '%') {
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        if (ReadInsertNumber(text, j) == 0) continue;
        while (j < text.size() && IsDigit(text[j])) ++j;
        // "%1!s!" and a bare "%1" are inserts; "%4.3f", "%2d" and "%1$s"
        // are printf widths and positions.
        if (j >= text.size() || text[j] == '!') return true;
        const unsigned char next = static_cast<unsigned char>(text[j]);
        if (next != '.' && next != '$' && std::isalpha(next) == 0) return true;
    }
    return false;
}

PlaceholderScan ScanPrintf(const std::string& text) {
    PlaceholderScan scan;
    int next = 0;
    bool positional = false;
    bool sequential = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        if (i + 1 < text.size() && text[i + 1] == '%') {
            ++i;
            continue;
        }
        const Conversion c = ParseConversion(text, i + 1, true);
        if (!c.error.empty()) {
            scan.error = c.error;
            return scan;
        }
        (c.position >= 0 ? positional : sequential) = true;
        if (positional && sequential) {
            scan.error = "numbered and unnumbered placeholders mixed";
            return scan;
        }
        if (!Record(scan, c.position >= 0 ? c.position : next++, c.type)) return scan;
        i = c.end - 1;
    }
    return scan;
}

PlaceholderScan ScanInserts(const std::string& text) {
    PlaceholderScan scan;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        std::size_t j = i + 1;
        const int number = ReadInsertNumber(text, j);
        if (number == 0) {
            if (j < text.size() && text[j] != '\0' && std::strchr("nrt0%.! ", text[j]) != nullptr) {
                i = j;
                continue;
            }
            scan.error = "'%" +
                         std::string(j < text.size() ? 1 : 0, j < text.size() ? text[j] : ' ') +
                         "' is neither an insert nor an escape";
            return scan;
        }
        ArgType type = ArgType::Text;
        if (j < text.size() && text[j] == '!') {
            const std::size_t close = text.find('!', j + 1);
            if (close == std::string::npos) {
                scan.error = "insert " + std::to_string(number) + " has no closing '!'";
                return scan;
            }
            const std::string conversion = text.substr(j + 1, close - j - 1);
            const Conversion c = ParseConversion(conversion, 0, false);
            if (!c.error.empty() || c.end != conversion.size()) {
                scan.error =
                    "insert " + std::to_string(number) + " has a bad format '" + conversion + "'";
                return scan;
            }
            type = c.type;
            j = close + 1;
        }
        if (!Record(scan, number - 1, type)) return scan;
        i = j - 1;
    }
    return scan;
}

PlaceholderScan ScanMessageText(const std::string& text) {
    return UsesInserts(text) ? ScanInserts(text) : ScanPrintf(text);
}

std::string CheckArguments(const PlaceholderScan& scan, const std::vector<ArgType>& args,
                           bool allUsed) {
    if (!scan.Ok()) return scan.error;
    for (const auto& [index, type] : scan.uses) {
        if (index >= static_cast<int>(args.size())) {
            return "placeholder for argument " + std::to_string(index + 1) + " but only " +
                   std::to_string(args.size()) + " passed";
        }
        if (args[static_cast<std::size_t>(index)] != type) {
            return "argument " + std::to_string(index + 1) + " is passed as " +
                   ArgTypeName(args[static_cast<std::size_t>(index)]) + " but read as " +
                   ArgTypeName(type);
        }
    }
    if (allUsed) {
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (scan.uses.count(static_cast<int>(i)) == 0) {
                return "argument " + std::to_string(i + 1) + " is never shown";
            }
        }
    }
    return {};
}

std::string FormatPrintf(const std::string& text, const MessageArgs& args) {
    if (!CheckArguments(ScanPrintf(text), TypesOf(args), false).empty()) return text;
    try {
        return RunPrintf(text, args);
    } catch (const std::exception&) {
        return text;
    }
}

std::string FormatInserts(const std::string& text, const MessageArgs& args) {
    if (!CheckArguments(ScanInserts(text), TypesOf(args), false).empty()) return text;
    try {
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] != '%') {
                out += text[i];
                continue;
            }
            std::size_t j = i + 1;
            const int number = ReadInsertNumber(text, j);
            if (number == 0) {
                switch (text[j]) {
                    case 'n':
                        out += '\n';
                        break;
                    case 'r':
                        out += '\r';
                        break;
                    case 't':
                        out += '\t';
                        break;
                    case '0':
                        return out;  // "%0" ends the message
                    default:
                        out += text[j];
                }
                i = j;
                continue;
            }
            std::string conversion = "%s";
            if (j < text.size() && text[j] == '!') {
                const std::size_t close = text.find('!', j + 1);
                conversion = "%" + text.substr(j + 1, close - j - 1);
                j = close + 1;
            }
            out += RunPrintf(conversion, {args[static_cast<std::size_t>(number - 1)]});
            i = j - 1;
        }
        return out;
    } catch (const std::exception&) {
        return text;
    }
}

std::string FormatInserts(const std::string& text, const std::vector<std::string>& inserts) {
    return FormatInserts(text, MessageArgs(inserts.begin(), inserts.end()));
}

std::string FormatMessageText(const std::string& text, const MessageArgs& args) {
    return UsesInserts(text) ? FormatInserts(text, args) : FormatPrintf(text, args);
}

}  // namespace qt40
