#include "fleet/TargetsFile.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "files/TextFile.h"
#include "files/Utf8Path.h"
#include "transport/HartIpEndpoint.h"
#include "transport/Socket.h"

namespace qt40::fleet {
namespace {

constexpr int kHighestAddress = 15;

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

}  // namespace

std::optional<std::string> TargetsFile::CheckEndpoint(std::string_view word) {
    const std::size_t mark = word.find("://");
    if (mark == std::string_view::npos) return std::nullopt;  // a serial port path
    if (!IsHartIpUrl(word)) {
        return "unknown endpoint kind \"" + std::string(word.substr(0, mark)) +
               "://\": use hartip:// or hartip+udp://, or a serial port path";
    }
    // The syntax the connection itself takes, so the file refuses nothing it takes.
    std::string why;
    if (!ParseHartIpUrl(word, &why)) return why;
    return std::nullopt;
}

std::string TargetsFile::CanonicalEndpoint(std::string_view word) {
    const auto endpoint =
        word.find("://") == std::string_view::npos ? std::nullopt : ParseHartIpUrl(word);
    // Host names and IPv6 digits are the same in either case.
    return endpoint ? Lower(endpoint->Url()) : std::string(word);
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

std::optional<std::string> TargetsFile::SameEndpoints(const std::vector<FleetTarget>& targets) {
    constexpr int kLookupMs = 2000;
    struct Seen {
        const FleetTarget* target;
        std::string what;  // the address or the device both reach
    };
    std::map<std::string, Seen> seen;
    for (const FleetTarget& target : targets) {
        std::vector<std::pair<std::string, std::string>> keys;  // key, shown
        if (const auto endpoint =
                IsHartIpUrl(target.endpoint) ? ParseHartIpUrl(target.endpoint) : std::nullopt) {
            const bool udp = endpoint->protocol == HartIpProtocol::Udp;
            SocketFault fault = SocketFault::None;
            std::string why;
            const auto addresses = Socket::Resolve(endpoint->host, endpoint->port,
                                                   udp ? SocketType::Datagram : SocketType::Stream,
                                                   kLookupMs, nullptr, fault, why);
            // Each card and channel behind an I/O system is a loop of its own.
            const std::string place = endpoint->SubDevice()
                                          ? "/" + std::to_string(*endpoint->card) + "/" +
                                                std::to_string(*endpoint->channel)
                                          : std::string();
            for (const SocketAddress& a : addresses) {
                keys.emplace_back((udp ? "udp " : "tcp ") + a.Text() + place, a.Text() + place);
            }
        } else if (!IsHartIpUrl(target.endpoint)) {
            // A link to a port (/dev/serial/by-id/..., a second name) is that port.
            std::error_code ec;
            const auto real = std::filesystem::canonical(PathFromUtf8(target.endpoint), ec);
            if (!ec) keys.emplace_back("port " + Utf8FromPath(real), Utf8FromPath(real));
        }
        for (const auto& [key, shown] : keys) {
            const auto [at, fresh] = seen.emplace(key, Seen{&target, shown});
            if (fresh || at->second.target == &target) continue;
            return "line " + std::to_string(target.line) + ": " + target.endpoint + " reaches " +
                   shown + ", as " + at->second.target->endpoint + " on line " +
                   std::to_string(at->second.target->line) + " does: list each loop once";
        }
    }
    return std::nullopt;
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
    if (result.ok()) {
        if (auto same = SameEndpoints(result.targets)) {
            result.targets.clear();
            result.error = std::move(*same);
        }
    }
    if (!result.ok()) result.error = Utf8FromPath(path) + " " + result.error;
    return result;
}

}  // namespace qt40::fleet
