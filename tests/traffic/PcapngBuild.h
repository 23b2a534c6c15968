#pragma once
// pcapng files and IP packets built byte by byte, to hand the reader what
// other programs (and hostile hands) write: any link type, any endpoints,
// IPv6, blocks that lie.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qt40::traffic::test {

using Bytes = std::vector<std::uint8_t>;

inline void Le16(Bytes& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void Le32(Bytes& b, std::uint32_t v) {
    Le16(b, static_cast<std::uint16_t>(v));
    Le16(b, static_cast<std::uint16_t>(v >> 16));
}
inline void Be16(Bytes& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v >> 8));
    b.push_back(static_cast<std::uint8_t>(v));
}
inline void Be32(Bytes& b, std::uint32_t v) {
    Be16(b, static_cast<std::uint16_t>(v >> 16));
    Be16(b, static_cast<std::uint16_t>(v));
}

// A little-endian block of `type` around `body` (padded), lengths at both ends.
inline Bytes Block(std::uint32_t type, Bytes body) {
    while (body.size() % 4) body.push_back(0);
    Bytes b;
    Le32(b, type);
    Le32(b, static_cast<std::uint32_t>(body.size() + 12));
    b.insert(b.end(), body.begin(), body.end());
    Le32(b, static_cast<std::uint32_t>(body.size() + 12));
    return b;
}
inline Bytes Option(std::uint16_t code, const std::string& text) {
    Bytes b;
    Le16(b, code);
    Le16(b, static_cast<std::uint16_t>(text.size()));
    b.insert(b.end(), text.begin(), text.end());
    while (b.size() % 4) b.push_back(0);
    return b;
}
inline Bytes SectionHeader(const std::string& comment = {}) {
    Bytes body;
    Le32(body, 0x1A2B3C4D);
    Le16(body, 1);
    Le16(body, 0);
    Le32(body, 0xFFFFFFFF);
    Le32(body, 0xFFFFFFFF);
    if (!comment.empty()) {
        const Bytes o = Option(1, comment);
        body.insert(body.end(), o.begin(), o.end());
        Le32(body, 0);
    }
    return Block(0x0A0D0D0A, body);
}
inline Bytes InterfaceBlock(std::uint16_t linkType, const std::string& name = {}) {
    Bytes body;
    Le16(body, linkType);
    Le16(body, 0);
    Le32(body, 0);
    if (!name.empty()) {
        const Bytes o = Option(2, name);
        body.insert(body.end(), o.begin(), o.end());
        Le32(body, 0);
    }
    return Block(1, body);
}
// An enhanced packet block; `captured` as the block claims it.
inline Bytes PacketBlock(std::uint32_t interface, std::uint64_t us, const Bytes& data,
                         std::uint32_t captured, const std::string& comment = {}) {
    Bytes body;
    Le32(body, interface);
    Le32(body, static_cast<std::uint32_t>(us >> 32));
    Le32(body, static_cast<std::uint32_t>(us));
    Le32(body, captured);
    Le32(body, static_cast<std::uint32_t>(data.size()));
    body.insert(body.end(), data.begin(), data.end());
    while (body.size() % 4) body.push_back(0);
    if (!comment.empty()) {
        const Bytes o = Option(1, comment);
        body.insert(body.end(), o.begin(), o.end());
        Le32(body, 0);
    }
    return Block(6, body);
}
inline Bytes PacketBlock(std::uint32_t interface, std::uint64_t us, const Bytes& data,
                         const std::string& comment = {}) {
    return PacketBlock(interface, us, data, static_cast<std::uint32_t>(data.size()), comment);
}

struct Host {
    Bytes address;  // 4 bytes IPv4, 16 IPv6
    std::uint16_t port;
};

// UDP (17) or TCP (6, flags PSH ACK, sequence `seq`) from `a` to `b` in an IP packet.
inline Bytes IpPacket(std::uint8_t protocol, const Host& a, const Host& b, const Bytes& payload,
                      std::uint32_t seq = 0) {
    Bytes t;
    Be16(t, a.port);
    Be16(t, b.port);
    if (protocol == 17) {
        Be16(t, static_cast<std::uint16_t>(8 + payload.size()));
        Be16(t, 0);
    } else {
        Be32(t, seq);
        Be32(t, 0);
        t.push_back(0x50);
        t.push_back(0x18);
        Be16(t, 0xFFFF);
        Be32(t, 0);
    }
    t.insert(t.end(), payload.begin(), payload.end());
    Bytes ip;
    if (a.address.size() == 4) {
        ip = {0x45, 0};
        Be16(ip, static_cast<std::uint16_t>(20 + t.size()));
        Be32(ip, 0x00014000);
        ip.push_back(64);
        ip.push_back(protocol);
        Be16(ip, 0);
    } else {
        ip = {0x60, 0, 0, 0};
        Be16(ip, static_cast<std::uint16_t>(t.size()));
        ip.push_back(protocol);
        ip.push_back(64);
    }
    ip.insert(ip.end(), a.address.begin(), a.address.end());
    ip.insert(ip.end(), b.address.begin(), b.address.end());
    ip.insert(ip.end(), t.begin(), t.end());
    return ip;
}

}  // namespace qt40::traffic::test
