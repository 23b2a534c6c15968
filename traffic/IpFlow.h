#pragma once
// IPv4 packets between the configurator (192.0.2.1) and the device
// (192.0.2.2), documentation addresses: UDP datagrams to and from port 5094,
// and TCP connections whose handshake, sequence and acknowledgement numbers
// and close are consistent, so a capture reads as a clean conversation.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace qt40::traffic {

inline constexpr std::array<std::uint8_t, 4> kHostAddress{192, 0, 2, 1};
inline constexpr std::array<std::uint8_t, 4> kDeviceAddress{192, 0, 2, 2};

enum class Direction { ToDevice, FromDevice };

class IpFlow {
public:
    using Packet = std::vector<std::uint8_t>;

    Packet Udp(Direction direction, std::span<const std::uint8_t> payload);

    bool TcpOpen() const { return tcpOpen_; }
    // SYN, SYN-ACK, ACK on a new host port.
    std::vector<Packet> OpenTcp();
    // One segment of the open connection (opened first when it is not).
    std::vector<Packet> TcpSegment(Direction direction, std::span<const std::uint8_t> payload);
    // FIN from the host, FIN from the device, the last ACK; nothing when closed.
    std::vector<Packet> CloseTcp();

private:
    Packet Ip(Direction direction, std::uint8_t protocol, std::span<const std::uint8_t> body);
    Packet Tcp(Direction direction, std::uint8_t flags, std::span<const std::uint8_t> payload);

    std::uint16_t ipId_ = 1;
    bool tcpOpen_ = false;
    std::uint16_t tcpHostPort_ = 49999;
    std::uint32_t hostSeq_ = 0;
    std::uint32_t deviceSeq_ = 0;
};

}  // namespace qt40::traffic
