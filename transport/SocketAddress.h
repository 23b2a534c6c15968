#pragma once
// An IPv4 or IPv6 address with its port, as the system holds it, and its text.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace qt40 {

struct SocketAddress {
    std::array<std::uint8_t, 128> bytes{};
    std::uint32_t size = 0;

    // The first `length` bytes of a system address (cut to `bytes`).
    static SocketAddress FromSystem(const void* address, std::size_t length);

    bool Valid() const { return size != 0; }
    // The system's address family (AF_INET, AF_INET6); 0 when not valid.
    int Family() const;
    bool IsIpv6() const;
    std::uint16_t Port() const;
    // The address without the port ("127.0.0.1", "::1").
    std::string HostText() const;
    // "127.0.0.1:5094", "[::1]:5094".
    std::string Text() const;
    // Same family, address and port.
    bool SameAs(const SocketAddress& other) const;
    // Same family and address, any port.
    bool SameHost(const SocketAddress& other) const;
    // The same address with another port.
    SocketAddress WithPort(std::uint16_t port) const;
};

}  // namespace qt40
