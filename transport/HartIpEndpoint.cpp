#include "transport/HartIpEndpoint.h"

#include <algorithm>
#include <cctype>

namespace qt40 {
namespace {

constexpr std::string_view kTcpScheme = "hartip://";
constexpr std::string_view kUdpScheme = "hartip+udp://";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    });
}

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

bool Fail(std::string* why, std::string reason) {
    if (why) *why = std::move(reason);
    return false;
}

bool ParsePort(std::string_view text, bool allowZero, std::uint16_t& port, std::string* why) {
    const auto refuse = [&] {
        return Fail(why, "the port \"" + std::string(text) + "\" must be a number from " +
                             (allowZero ? "0" : "1") + " to 65535");
    };
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return refuse();
    }
    unsigned long value = 0;
    for (char c : text) value = value * 10 + static_cast<unsigned long>(c - '0');
    if (value > 65535 || (value == 0 && !allowZero)) return refuse();
    port = static_cast<std::uint16_t>(value);
    return true;
}

// A host name or an IPv4 address: letters, digits, '-', '.', '_'. `after` names
// what the host follows, for the message when there is none.
bool NameHost(std::string_view host, std::string_view after, std::string* why) {
    if (host.empty())
        return Fail(why,
                    after.empty() ? "no host is named" : "no host after " + std::string(after));
    const auto bad = std::find_if(host.begin(), host.end(), [](char c) {
        return !(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_');
    });
    if (bad == host.end()) return true;
    return Fail(why, "\"" + std::string(1, *bad) + "\" cannot stand in the host name \"" +
                         std::string(host) + "\"");
}

// Inside the brackets: hex digits, ':' and '.', then an optional "%zone".
bool Ipv6Host(std::string_view host, std::string* why) {
    const auto zone = host.find('%');
    const std::string_view address = host.substr(0, zone);
    const bool ok =
        address.find(':') != std::string_view::npos &&
        std::all_of(address.begin(), address.end(),
                    [](char c) {
                        return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
                    }) &&
        (zone == std::string_view::npos ||
         (zone + 1 < host.size() &&
          std::all_of(host.begin() + static_cast<std::ptrdiff_t>(zone) + 1, host.end(), [](char c) {
              return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' ||
                     c == '.';
          })));
    return ok || Fail(why, "\"[" + std::string(host) + "]\" is not an IPv6 address");
}

// HOST[:PORT] with an IPv6 host in brackets; `port` keeps its value when none
// is written. `scheme` is what the text follows ("hartip://"), for messages.
bool ParseAuthority(std::string_view text, bool allowZeroPort, std::string_view scheme,
                    std::string& host, std::uint16_t& port, std::string* why) {
    std::string_view portText;
    bool hasPort = false;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string_view::npos)
            return Fail(why, "an IPv6 address needs its closing ]");
        const std::string_view inner = text.substr(1, close - 1);
        if (!Ipv6Host(inner, why)) return false;
        host = std::string(inner);
        const std::string_view after = text.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') {
                return Fail(why, "unexpected \"" + std::string(after) + "\" after the address");
            }
            portText = after.substr(1);
            hasPort = true;
        }
    } else {
        const auto colon = text.find(':');
        if (colon != std::string_view::npos &&
            text.find(':', colon + 1) != std::string_view::npos) {
            return Fail(why, "an IPv6 address goes in brackets, as in " + std::string(scheme) +
                                 "[::1]:5094");
        }
        const std::string_view name = text.substr(0, colon);
        if (!NameHost(name, scheme, why)) return false;
        host = std::string(name);
        if (colon != std::string_view::npos) {
            portText = text.substr(colon + 1);
            hasPort = true;
        }
    }
    return !hasPort || ParsePort(portText, allowZeroPort, port, why);
}

// The path after the host: CARD/CHANNEL, each a decimal number 0 … 255.
bool ParsePlace(std::string_view path, std::string_view scheme, std::optional<std::uint8_t>& card,
                std::optional<std::uint8_t>& channel, std::string* why) {
    const std::string form = std::string(scheme) + "HOST[:PORT]/CARD/CHANNEL";
    const auto slash = path.find('/');
    if (slash == std::string_view::npos || path.find('/', slash + 1) != std::string_view::npos) {
        // Only CARD/CHANNEL; the message as for any other path.
        return Fail(why, "a path or query (\"/" + std::string(path) +
                             "\") is not allowed in a HART-IP address");
    }
    const auto number = [&](std::string_view text, const char* what,
                            std::optional<std::uint8_t>& out) {
        if (text.empty() || text.size() > 3 ||
            !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return Fail(why, std::string("the ") + what + " \"" + std::string(text) +
                                 "\" must be a number from 0 to 255 (" + form + ")");
        }
        int value = 0;
        for (char c : text) value = value * 10 + (c - '0');
        if (value > 255) {
            return Fail(why, std::string("the ") + what + " \"" + std::string(text) +
                                 "\" must be a number from 0 to 255 (" + form + ")");
        }
        out = static_cast<std::uint8_t>(value);
        return true;
    };
    return number(path.substr(0, slash), "card", card) &&
           number(path.substr(slash + 1), "channel", channel);
}

}  // namespace

std::string HartIpEndpoint::HostPort() const {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string HartIpEndpoint::ServerUrl() const {
    return std::string(protocol == HartIpProtocol::Udp ? kUdpScheme : kTcpScheme) + HostPort();
}

std::string HartIpEndpoint::Url() const {
    if (!SubDevice()) return ServerUrl();
    return ServerUrl() + "/" + std::to_string(*card) + "/" + std::to_string(*channel);
}

bool IsHartIpUrl(std::string_view name) {
    name = Trimmed(name);
    return StartsWithNoCase(name, kTcpScheme) || StartsWithNoCase(name, kUdpScheme);
}

std::optional<HartIpEndpoint> ParseHartIpUrl(std::string_view url, std::string* why) {
    url = Trimmed(url);
    HartIpEndpoint endpoint;
    std::string_view rest;
    std::string_view scheme;
    if (StartsWithNoCase(url, kTcpScheme)) {
        scheme = kTcpScheme;
    } else if (StartsWithNoCase(url, kUdpScheme)) {
        endpoint.protocol = HartIpProtocol::Udp;
        scheme = kUdpScheme;
    } else {
        Fail(why, "a HART-IP address begins with hartip:// or hartip+udp://");
        return std::nullopt;
    }
    rest = url.substr(scheme.size());
    if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
    // A path, a user or a query is no part of a host name: refused as such.
    if (const auto at = rest.find('@'); at != std::string_view::npos) {
        Fail(why, "a user name (\"" + std::string(rest.substr(0, at + 1)) +
                      "\") is not allowed in a HART-IP address");
        return std::nullopt;
    }
    if (const auto query = rest.find_first_of("?#"); query != std::string_view::npos) {
        Fail(why, "a path or query (\"" + std::string(rest.substr(rest.find_first_of("/?#"))) +
                      "\") is not allowed in a HART-IP address");
        return std::nullopt;
    }
    const auto slash = rest.find('/');
    if (!ParseAuthority(rest.substr(0, slash), false, scheme, endpoint.host, endpoint.port, why)) {
        return std::nullopt;
    }
    if (slash != std::string_view::npos &&
        !ParsePlace(rest.substr(slash + 1), scheme, endpoint.card, endpoint.channel, why)) {
        return std::nullopt;
    }
    return endpoint;
}

std::optional<HartIpEndpoint> ParseHartIpListenAddress(std::string_view text,
                                                       std::string_view defaultHost,
                                                       std::string* why) {
    text = Trimmed(text);
    HartIpEndpoint endpoint;
    // A bare number is the port alone.
    if (!text.empty() &&
        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        endpoint.host = std::string(defaultHost);
        if (!ParsePort(text, true, endpoint.port, why)) return std::nullopt;
        return endpoint;
    }
    if (!ParseAuthority(text, true, {}, endpoint.host, endpoint.port, why)) return std::nullopt;
    return endpoint;
}

}  // namespace qt40
