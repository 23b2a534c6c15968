#include "transport/SocketAddress.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <algorithm>
#include <cstring>

namespace qt40 {

SocketAddress SocketAddress::FromSystem(const void* address, std::size_t length) {
    SocketAddress out;
    out.size = static_cast<std::uint32_t>(std::min(length, out.bytes.size()));
    if (out.size != 0) std::memcpy(out.bytes.data(), address, out.size);
    return out;
}

int SocketAddress::Family() const {
    sockaddr_storage s{};
    std::memcpy(&s, bytes.data(), std::min<std::size_t>(size, sizeof s));
    return s.ss_family;
}

bool SocketAddress::IsIpv6() const {
    return Valid() && Family() == AF_INET6;
}

std::uint16_t SocketAddress::Port() const {
    if (!Valid()) return 0;
    if (IsIpv6()) {
        sockaddr_in6 a{};
        std::memcpy(&a, bytes.data(), sizeof a);
        return ntohs(a.sin6_port);
    }
    sockaddr_in a{};
    std::memcpy(&a, bytes.data(), sizeof a);
    return ntohs(a.sin_port);
}

std::string SocketAddress::HostText() const {
    if (!Valid()) return {};
    char host[NI_MAXHOST] = {};
    if (getnameinfo(reinterpret_cast<const sockaddr*>(bytes.data()), static_cast<socklen_t>(size),
                    host, sizeof host, nullptr, 0, NI_NUMERICHOST) != 0) {
        return "?";
    }
    return host;
}

std::string SocketAddress::Text() const {
    const std::string host = HostText();
    return (IsIpv6() ? "[" + host + "]" : host) + ":" + std::to_string(Port());
}

bool SocketAddress::SameHost(const SocketAddress& other) const {
    if (!Valid() || !other.Valid() || IsIpv6() != other.IsIpv6()) return false;
    if (IsIpv6()) {
        sockaddr_in6 a{}, b{};
        std::memcpy(&a, bytes.data(), sizeof a);
        std::memcpy(&b, other.bytes.data(), sizeof b);
        return std::memcmp(&a.sin6_addr, &b.sin6_addr, sizeof a.sin6_addr) == 0;
    }
    sockaddr_in a{}, b{};
    std::memcpy(&a, bytes.data(), sizeof a);
    std::memcpy(&b, other.bytes.data(), sizeof b);
    return a.sin_addr.s_addr == b.sin_addr.s_addr;
}

SocketAddress SocketAddress::WithPort(std::uint16_t port) const {
    SocketAddress out = *this;
    if (!Valid()) return out;
    if (IsIpv6()) {
        sockaddr_in6 a{};
        std::memcpy(&a, bytes.data(), sizeof a);
        a.sin6_port = htons(port);
        std::memcpy(out.bytes.data(), &a, sizeof a);
    } else {
        sockaddr_in a{};
        std::memcpy(&a, bytes.data(), sizeof a);
        a.sin_port = htons(port);
        std::memcpy(out.bytes.data(), &a, sizeof a);
    }
    return out;
}

bool SocketAddress::SameAs(const SocketAddress& other) const {
    return SameHost(other) && Port() == other.Port();
}

}  // namespace qt40
