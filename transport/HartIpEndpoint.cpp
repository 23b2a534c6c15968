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
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return Fail(why, "the port \"" + std::string(text) + "\" is not a number from 1 to 65535");
    }
    unsigned long value = 0;
    for (char c : text) value = value * 10 + static_cast<unsigned long>(c - '0');
    if (value > 65535 || (value == 0 && !allowZero)) {
        return Fail(why, "the port " + std::string(text) + " is not from 1 to 65535");
    }
    port = static_cast<std::uint16_t>(value);
    return true;
}

// A host name or an IPv4 address: letters, digits, '-', '.', '_'.
bool NameHost(std::string_view host, std::string* why) {
    if (host.empty()) return Fail(why, "no host is named");
    const bool ok = std::all_of(host.begin(), host.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
    });
    return ok || Fail(why, "\"" + std::string(host) + "\" is not a host name or address");
}

// Inside the brackets: hex digits, ':' and '.', then an optional "%zone".
bool Ipv6Host(std::string_view host, std::string* why) {
    const auto zone = host.find('%');
    const std::string_view address = host.substr(0, zone);
    const bool ok =
        address.find(':') != std::string_view::npos &&
        std::all_of(address.begin(), address.end(), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
        }) &&
        (zone == std::string_view::npos ||
         (zone + 1 < host.size() &&
          std::all_of(host.begin() + static_cast<std::ptrdiff_t>(zone) + 1, host.end(), [](char c) {
              return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.';
          })));
    return ok || Fail(why, "[" + std::string(host) + "] is not an IPv6 address");
}

// HOST[:PORT] with an IPv6 host in brackets; `port` keeps its value when none is written.
bool ParseAuthority(std::string_view text, bool allowZeroPort, std::string& host,
                    std::uint16_t& port, std::string* why) {
    std::string_view portText;
    bool hasPort = false;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string_view::npos) return Fail(why, "the '[' of an IPv6 address is not closed");
        const std::string_view inner = text.substr(1, close - 1);
        if (!Ipv6Host(inner, why)) return false;
        host = std::string(inner);
        const std::string_view after = text.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') return Fail(why, "unexpected text after the IPv6 address");
            portText = after.substr(1);
            hasPort = true;
        }
    } else {
        const auto colon = text.find(':');
        if (colon != std::string_view::npos && text.find(':', colon + 1) != std::string_view::npos) {
            return Fail(why, "an IPv6 address must be written in brackets, as [::1]");
        }
        const std::string_view name = text.substr(0, colon);
        if (!NameHost(name, why)) return false;
        host = std::string(name);
        if (colon != std::string_view::npos) {
            portText = text.substr(colon + 1);
            hasPort = true;
        }
    }
    return !hasPort || ParsePort(portText, allowZeroPort, port, why);
}

}  // namespace

std::string HartIpEndpoint::HostPort() const {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string HartIpEndpoint::Url() const {
    return std::string(protocol == HartIpProtocol::Udp ? kUdpScheme : kTcpScheme) + HostPort();
}

bool IsHartIpUrl(std::string_view name) {
    name = Trimmed(name);
    return StartsWithNoCase(name, kTcpScheme) || StartsWithNoCase(name, kUdpScheme);
}

std::optional<HartIpEndpoint> ParseHartIpUrl(std::string_view url, std::string* why) {
    url = Trimmed(url);
    HartIpEndpoint endpoint;
    std::string_view rest;
    if (StartsWithNoCase(url, kTcpScheme)) {
        rest = url.substr(kTcpScheme.size());
    } else if (StartsWithNoCase(url, kUdpScheme)) {
        endpoint.protocol = HartIpProtocol::Udp;
        rest = url.substr(kUdpScheme.size());
    } else {
        Fail(why, "a HART-IP address begins with hartip:// or hartip+udp://");
        return std::nullopt;
    }
    if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
    if (rest.find_first_of("/?#@") != std::string_view::npos) {
        Fail(why, "a HART-IP address holds only a host and a port");
        return std::nullopt;
    }
    if (!ParseAuthority(rest, false, endpoint.host, endpoint.port, why)) return std::nullopt;
    return endpoint;
}

std::optional<HartIpEndpoint> ParseHartIpListenAddress(std::string_view text,
                                                       std::string_view defaultHost,
                                                       std::string* why) {
    text = Trimmed(text);
    HartIpEndpoint endpoint;
    // A bare number is the port alone.
    if (!text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        endpoint.host = std::string(defaultHost);
        if (!ParsePort(text, true, endpoint.port, why)) return std::nullopt;
        return endpoint;
    }
    if (!ParseAuthority(text, true, endpoint.host, endpoint.port, why)) return std::nullopt;
    return endpoint;
}

}  // namespace qt40
