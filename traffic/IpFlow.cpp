#include "traffic/IpFlow.h"

#include "transport/HartIpHeader.h"

namespace qt40::traffic {
namespace {

constexpr std::uint16_t kUdpHostPort = 49152;
constexpr std::uint8_t kUdp = 17;
constexpr std::uint8_t kTcp = 6;
constexpr std::uint8_t kFin = 0x01, kSyn = 0x02, kPsh = 0x08, kAck = 0x10;

void Put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    Put16(out, static_cast<std::uint16_t>(v >> 16));
    Put16(out, static_cast<std::uint16_t>(v));
}

// One's-complement sum of 16-bit words, as the IP, UDP and TCP checksums take it.
std::uint32_t Sum(std::span<const std::uint8_t> bytes, std::uint32_t sum = 0) {
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        const std::uint16_t hi = bytes[i];
        const std::uint16_t lo = i + 1 < bytes.size() ? bytes[i + 1] : 0;
        sum += static_cast<std::uint32_t>(hi << 8 | lo);
    }
    return sum;
}
std::uint16_t Fold(std::uint32_t sum) {
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

// The transport checksum over the pseudo-header and the segment.
std::uint16_t TransportChecksum(const std::array<std::uint8_t, 4>& src,
                                const std::array<std::uint8_t, 4>& dst, std::uint8_t protocol,
                                std::span<const std::uint8_t> segment) {
    std::vector<std::uint8_t> pseudo(src.begin(), src.end());
    pseudo.insert(pseudo.end(), dst.begin(), dst.end());
    pseudo.push_back(0);
    pseudo.push_back(protocol);
    Put16(pseudo, static_cast<std::uint16_t>(segment.size()));
    const std::uint16_t sum = Fold(Sum(segment, Sum(pseudo)));
    return sum == 0 && protocol == kUdp ? 0xFFFF : sum;
}

}  // namespace

IpFlow::Packet IpFlow::Ip(Direction direction, std::uint8_t protocol,
                          std::span<const std::uint8_t> body) {
    const auto& src = direction == Direction::ToDevice ? kHostAddress : kDeviceAddress;
    const auto& dst = direction == Direction::ToDevice ? kDeviceAddress : kHostAddress;
    Packet p;
    p.reserve(20 + body.size());
    p.push_back(0x45);  // version 4, 20-byte header
    p.push_back(0);
    Put16(p, static_cast<std::uint16_t>(20 + body.size()));
    Put16(p, ipId_++);
    Put16(p, 0x4000);  // don't fragment
    p.push_back(64);
    p.push_back(protocol);
    Put16(p, 0);
    p.insert(p.end(), src.begin(), src.end());
    p.insert(p.end(), dst.begin(), dst.end());
    const std::uint16_t checksum = Fold(Sum({p.data(), 20}));
    p[10] = static_cast<std::uint8_t>(checksum >> 8);
    p[11] = static_cast<std::uint8_t>(checksum);
    p.insert(p.end(), body.begin(), body.end());
    return p;
}

IpFlow::Packet IpFlow::Udp(Direction direction, std::span<const std::uint8_t> payload) {
    const bool out = direction == Direction::ToDevice;
    std::vector<std::uint8_t> u;
    Put16(u, out ? kUdpHostPort : kHartIpPort);
    Put16(u, out ? kHartIpPort : kUdpHostPort);
    Put16(u, static_cast<std::uint16_t>(8 + payload.size()));
    Put16(u, 0);
    u.insert(u.end(), payload.begin(), payload.end());
    const std::uint16_t checksum = TransportChecksum(out ? kHostAddress : kDeviceAddress,
                                                     out ? kDeviceAddress : kHostAddress, kUdp, u);
    u[6] = static_cast<std::uint8_t>(checksum >> 8);
    u[7] = static_cast<std::uint8_t>(checksum);
    return Ip(direction, kUdp, u);
}

IpFlow::Packet IpFlow::Tcp(Direction direction, std::uint8_t flags,
                           std::span<const std::uint8_t> payload) {
    const bool out = direction == Direction::ToDevice;
    std::vector<std::uint8_t> t;
    Put16(t, out ? tcpHostPort_ : kHartIpPort);
    Put16(t, out ? kHartIpPort : tcpHostPort_);
    Put32(t, out ? hostSeq_ : deviceSeq_);
    // A first SYN acknowledges nothing.
    Put32(t, (flags & kAck) ? (out ? deviceSeq_ : hostSeq_) : 0);
    t.push_back(0x50);  // 20-byte header
    t.push_back(flags);
    Put16(t, 0xFFFF);  // window
    Put16(t, 0);
    Put16(t, 0);
    t.insert(t.end(), payload.begin(), payload.end());
    const std::uint16_t checksum = TransportChecksum(out ? kHostAddress : kDeviceAddress,
                                                     out ? kDeviceAddress : kHostAddress, kTcp, t);
    t[16] = static_cast<std::uint8_t>(checksum >> 8);
    t[17] = static_cast<std::uint8_t>(checksum);
    // SYN and FIN take one sequence number each, data one per byte.
    std::uint32_t& seq = out ? hostSeq_ : deviceSeq_;
    seq += static_cast<std::uint32_t>(payload.size()) + ((flags & (kSyn | kFin)) ? 1 : 0);
    return Ip(direction, kTcp, t);
}

std::vector<IpFlow::Packet> IpFlow::OpenTcp() {
    std::vector<Packet> packets;
    if (tcpOpen_) packets = CloseTcp();
    ++tcpHostPort_;
    hostSeq_ = 0x10000000u + tcpHostPort_;
    deviceSeq_ = 0x20000000u + tcpHostPort_;
    packets.push_back(Tcp(Direction::ToDevice, kSyn, {}));
    packets.push_back(Tcp(Direction::FromDevice, kSyn | kAck, {}));
    packets.push_back(Tcp(Direction::ToDevice, kAck, {}));
    tcpOpen_ = true;
    return packets;
}

std::vector<IpFlow::Packet> IpFlow::TcpSegment(Direction direction,
                                               std::span<const std::uint8_t> payload) {
    std::vector<Packet> packets;
    if (!tcpOpen_) packets = OpenTcp();
    packets.push_back(Tcp(direction, kPsh | kAck, payload));
    return packets;
}

std::vector<IpFlow::Packet> IpFlow::CloseTcp() {
    if (!tcpOpen_) return {};
    std::vector<Packet> packets;
    packets.push_back(Tcp(Direction::ToDevice, kFin | kAck, {}));
    packets.push_back(Tcp(Direction::FromDevice, kFin | kAck, {}));
    packets.push_back(Tcp(Direction::ToDevice, kAck, {}));
    tcpOpen_ = false;
    return packets;
}

}  // namespace qt40::traffic
