#pragma once
// Where a HART-IP server is, named as a port is named elsewhere in the
// program: hartip://HOST[:PORT] (TCP) or hartip+udp://HOST[:PORT] (UDP), the
// port 5094 unless given. HOST is a name, an IPv4 address or an IPv6 address in
// brackets ([::1], [fe80::1%eth0]). A device behind an I/O system (remote I/O,
// a HART multiplexer) is named by the card and channel it sits on, in decimal
// as the I/O system numbers them: hartip://HOST[:PORT]/CARD/CHANNEL. Any other
// port name is a serial device path, colons and all.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "transport/HartIpHeader.h"

namespace qt40 {

enum class HartIpProtocol { Tcp, Udp };

struct HartIpEndpoint {
    HartIpProtocol protocol = HartIpProtocol::Tcp;
    std::string host;  // without brackets
    std::uint16_t port = kHartIpPort;
    // A sub-device's I/O card and channel; both or neither.
    std::optional<std::uint8_t> card = std::nullopt;
    std::optional<std::uint8_t> channel = std::nullopt;

    bool SubDevice() const { return card.has_value() && channel.has_value(); }
    // The URL in one spelling: lower-case scheme, IPv6 in brackets, the port
    // written, then "/CARD/CHANNEL" for a sub-device.
    std::string Url() const;
    // The URL of the HART-IP server alone (no card and channel).
    std::string ServerUrl() const;
    // HOST:PORT ([HOST]:PORT for IPv6), for messages and the trace.
    std::string HostPort() const;

    friend bool operator==(const HartIpEndpoint&, const HartIpEndpoint&) = default;
};

// True when `name` begins with one of the two schemes (letters in any case),
// whether or not the rest is well formed: such a name is never a serial port.
bool IsHartIpUrl(std::string_view name);

// The endpoint a URL names. Nothing for a malformed one, with the reason in
// English in `why` (for the trace; the user sees the URL and how to write it).
// Blanks around the URL and one trailing "/" are allowed.
std::optional<HartIpEndpoint> ParseHartIpUrl(std::string_view url, std::string* why = nullptr);

// "[HOST:]PORT" as the simulator listens: the host `defaultHost` unless given,
// port 0 for any free port. Nothing for a malformed text (reason in `why`).
std::optional<HartIpEndpoint> ParseHartIpListenAddress(std::string_view text,
                                                       std::string_view defaultHost,
                                                       std::string* why = nullptr);

}  // namespace qt40
