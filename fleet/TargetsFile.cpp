#include "fleet/TargetsFile.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "files/TextFile.h"
#include "files/Utf8Path.h"

namespace qt40::fleet {
namespace {

constexpr int kHighestAddress = 15;
constexpr const char* kDefaultHartIpPort = "5094";

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// A decimal number of at most six digits, so no overflow on the way.
std::optional<long> Number(std::string_view text) {
    if (!AllDigits(text) || text.size() > 6) return std::nullopt;
    long n = 0;
    for (char c : text) n = n * 10 + (c - '0');
    return n;
}

struct UrlParts {
    std::string scheme;  // lower case
    std::string host;    // without brackets
    std::string port;    // empty when none was given
};

// Splits a hartip URL; an error text when it is not one.
std::optional<std::string> SplitUrl(std::string_view word, UrlParts& parts) {
    const std::size_t mark = word.find("://");
    parts.scheme = Lower(word.substr(0, mark));
    if (parts.scheme != "hartip" && parts.scheme != "hartip+udp") {
        return "unknown endpoint kind \"" + std::string(word.substr(0, mark)) +
               "://\": use hartip:// or hartip+udp://, or a serial port path";
    }
    std::string_view rest = word.substr(mark + 3);
    if (rest.empty()) return "no host after " + parts.scheme + "://";
    std::string_view after;
    if (rest.front() == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) return "an IPv6 address needs its closing ]";
        const std::string_view host = rest.substr(1, close - 1);
        const bool ipv6 = host.find(':') != std::string_view::npos &&
                          std::all_of(host.begin(), host.end(), [](unsigned char c) {
                              return std::isxdigit(c) || c == ':' || c == '.';
                          });
        if (!ipv6) return "\"[" + std::string(host) + "]\" is not an IPv6 address";
        parts.host = Lower(host);
        after = rest.substr(close + 1);
        if (!after.empty() && after.front() != ':') {
            return "unexpected \"" + std::string(after) + "\" after the address";
        }
    } else {
        const std::size_t colons = static_cast<std::size_t>(std::count(rest.begin(), rest.end(), ':'));
        if (colons > 1) return "an IPv6 address goes in brackets, as in hartip://[::1]:5094";
        const std::size_t colon = rest.find(':');
        const std::string_view host = rest.substr(0, colon);
        if (host.empty()) return "no host after " + parts.scheme + "://";
        const auto bad = std::find_if(host.begin(), host.end(), [](unsigned char c) {
            return !(std::isalnum(c) || c == '.' || c == '-' || c == '_');
        });
        if (bad != host.end()) {
            return "\"" + std::string(1, *bad) + "\" cannot stand in the host name \"" +
                   std::string(host) + "\"";
        }
        parts.host = Lower(host);
        if (colon != std::string_view::npos) after = rest.substr(colon);
    }
    if (!after.empty()) {
        const std::string_view port = after.substr(1);
        const auto n = Number(port);
        if (!n || *n < 1 || *n > 65535) {
            return "the port \"" + std::string(port) + "\" must be a number from 1 to 65535";
        }
        parts.port = std::to_string(*n);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> TargetsFile::CheckEndpoint(std::string_view word) {
    if (word.find("://") == std::string_view::npos) return std::nullopt;  // a serial port path
    UrlParts parts;
    return SplitUrl(word, parts);
}

std::string TargetsFile::CanonicalEndpoint(std::string_view word) {
    UrlParts parts;
    if (word.find("://") == std::string_view::npos || SplitUrl(word, parts)) {
        return std::string(word);
    }
    const bool ipv6 = parts.host.find(':') != std::string::npos;
    return parts.scheme + "://" + (ipv6 ? "[" + parts.host + "]" : parts.host) + ":" +
           (parts.port.empty() ? kDefaultHartIpPort : parts.port);
}

std::optional<std::vector<int>> TargetsFile::ParseAddresses(std::string_view word,
                                                            std::string& error) {
    std::vector<int> addresses;
    auto range = [&](long from, long to) {
        for (long a = from; a <= to; ++a) addresses.push_back(static_cast<int>(a));
        return addresses;
    };
    if (Lower(word) == "all") return range(0, kHighestAddress);
    const std::size_t dash = word.find('-');
    const auto from = Number(word.substr(0, dash));
    const auto to = dash == std::string_view::npos ? from : Number(word.substr(dash + 1));
    if (!from || !to) {
        error = "\"" + std::string(word) +
                "\" is not a polling address: give one (0-15), a range such as 1-4, or all";
        return std::nullopt;
    }
    for (long a : {*from, *to}) {
        if (a > kHighestAddress) {
            error = "polling address " + std::to_string(a) + " is outside 0-15";
            return std::nullopt;
        }
    }
    if (*from > *to) {
        error = "the range " + std::string(word) + " runs backwards";
        return std::nullopt;
    }
    return range(*from, *to);
}

TargetsResult TargetsFile::Parse(std::string_view text) {
    TargetsResult result;
    std::map<std::string, int> seen;  // canonical endpoint -> its line
    int number = 0;
    for (const std::string& line : SplitLines(text)) {
        ++number;
        std::vector<std::string_view> words;
        std::string_view rest = line;
        for (;;) {
            const std::size_t start = rest.find_first_not_of(" \t");
            if (start == std::string_view::npos) break;
            rest = rest.substr(start);
            if (rest.front() == '#') break;  // a comment to the end of the line
            const std::size_t end = std::min(rest.find_first_of(" \t"), rest.size());
            words.push_back(rest.substr(0, end));
            rest = rest.substr(end);
        }
        if (words.empty()) continue;
        auto fail = [&](const std::string& why) {
            result.targets.clear();
            result.error = "line " + std::to_string(number) + ": " + why;
            return result;
        };
        if (words.size() > 2) {
            return fail("\"" + std::string(words[2]) +
                        "\" is one word too many: a line holds an endpoint and its addresses");
        }
        if (const auto why = CheckEndpoint(words[0])) return fail(*why);
        FleetTarget target;
        target.endpoint = std::string(words[0]);
        target.line = number;
        target.addresses = {0};
        if (words.size() == 2) {
            std::string why;
            const auto addresses = ParseAddresses(words[1], why);
            if (!addresses) return fail(why);
            target.addresses = *addresses;
        }
        // Two lines for one loop would put two masters on it at once.
        const auto [at, fresh] = seen.emplace(CanonicalEndpoint(words[0]), number);
        if (!fresh) {
            return fail(target.endpoint + " is already listed on line " +
                        std::to_string(at->second));
        }
        result.targets.push_back(std::move(target));
    }
    if (result.targets.empty()) result.error = "no endpoint listed";
    return result;
}

TargetsResult TargetsFile::Read(const std::filesystem::path& path) {
    std::string text;
    const FileResult read = ReadTextFile(path, text);
    TargetsResult result;
    if (!read.ok()) {
        result.error = read.error.empty() ? "cannot read " + Utf8FromPath(path) : read.error;
        return result;
    }
    result = Parse(text);
    if (!result.ok()) result.error = Utf8FromPath(path) + " " + result.error;
    return result;
}

}  // namespace qt40::fleet
