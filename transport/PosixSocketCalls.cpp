// The socket calls on POSIX systems.
#include "transport/SocketCalls.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qt40 {
namespace {

int Native(SocketHandle s) {
    return static_cast<int>(s);
}

const sockaddr* SystemAddress(const SocketAddress& a) {
    return reinterpret_cast<const sockaddr*>(a.bytes.data());
}

void SetNoDelay(int s) {
    int on = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

}  // namespace

void SocketCalls::Start() {}

int SocketCalls::LastError() {
    return errno;
}

bool SocketCalls::WouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINPROGRESS;
}

bool SocketCalls::Interrupted(int error) {
    return error == EINTR;
}

std::string SocketCalls::ErrorText(int error) {
    return std::strerror(error);
}

SocketFault SocketCalls::FaultOf(int error) {
    switch (error) {
        case ECONNREFUSED:
            return SocketFault::Refused;
        case ETIMEDOUT:
            return SocketFault::TimedOut;
        case EHOSTUNREACH:
        case ENETUNREACH:
        case EHOSTDOWN:
        case ENETDOWN:
            return SocketFault::Unreachable;
        case ECONNRESET:
        case ECONNABORTED:
        case EPIPE:
        case ENOTCONN:
            return SocketFault::Reset;
        default:
            return SocketFault::Other;
    }
}

int SocketCalls::LookUp(const std::string& host, std::uint16_t port, SocketType type,
                        bool literalOnly, std::vector<SocketAddress>& found) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = type == SocketType::Stream ? SOCK_STREAM : SOCK_DGRAM;
    hints.ai_flags = literalOnly ? AI_NUMERICHOST | AI_NUMERICSERV : AI_NUMERICSERV;
    const std::string service = std::to_string(port);
    addrinfo* list = nullptr;
    const int result = getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
    if (result != 0) return result;
    for (const addrinfo* a = list; a; a = a->ai_next) {
        if (a->ai_family != AF_INET && a->ai_family != AF_INET6) continue;
        found.push_back(SocketAddress::FromSystem(a->ai_addr, a->ai_addrlen));
    }
    freeaddrinfo(list);
    return 0;
}

std::string SocketCalls::LookUpErrorText(int result) {
    return gai_strerror(result);
}

SocketHandle SocketCalls::Open(int family, SocketType type, const char** failedStep) {
    const int kind = type == SocketType::Stream ? SOCK_STREAM : SOCK_DGRAM;
    const int s = ::socket(family, kind | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (s < 0) {
        *failedStep = "socket";
        return kNoSocketHandle;
    }
    // Small messages, one at a time: each goes at once, not after a wait for more.
    if (type == SocketType::Stream) SetNoDelay(s);
    return static_cast<SocketHandle>(s);
}

void SocketCalls::ShutdownSending(SocketHandle s) {
    ::shutdown(Native(s), SHUT_WR);
}

void SocketCalls::Close(SocketHandle s) {
    ::close(Native(s));
}

int SocketCalls::Connect(SocketHandle s, const SocketAddress& to) {
    return ::connect(Native(s), SystemAddress(to), static_cast<socklen_t>(to.size));
}

int SocketCalls::ConnectResult(SocketHandle s, int& error) {
    error = 0;
    socklen_t length = sizeof error;
    return getsockopt(Native(s), SOL_SOCKET, SO_ERROR, &error, &length) == 0 ? 0 : -1;
}

void SocketCalls::PrepareListening(SocketHandle s, SocketType) {
    // A server started again at once may take its port back.
    int on = 1;
    setsockopt(Native(s), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
}

int SocketCalls::Bind(SocketHandle s, const SocketAddress& address) {
    return ::bind(Native(s), SystemAddress(address), static_cast<socklen_t>(address.size));
}

int SocketCalls::Listen(SocketHandle s) {
    return ::listen(Native(s), SOMAXCONN);
}

SocketHandle SocketCalls::Accept(SocketHandle s, SocketAddress& peer) {
    sockaddr_storage from{};
    socklen_t length = sizeof from;
    const int accepted = ::accept4(Native(s), reinterpret_cast<sockaddr*>(&from), &length,
                                   SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (accepted < 0) return kNoSocketHandle;
    SetNoDelay(accepted);
    peer = SocketAddress::FromSystem(&from, length);
    return static_cast<SocketHandle>(accepted);
}

std::ptrdiff_t SocketCalls::Send(SocketHandle s, std::span<const std::uint8_t> bytes) {
    return ::send(Native(s), bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

std::ptrdiff_t SocketCalls::SendTo(SocketHandle s, std::span<const std::uint8_t> bytes,
                                   const SocketAddress& to) {
    return ::sendto(Native(s), bytes.data(), bytes.size(), MSG_NOSIGNAL, SystemAddress(to),
                    static_cast<socklen_t>(to.size));
}

std::ptrdiff_t SocketCalls::ReceiveFrom(SocketHandle s, std::span<std::uint8_t> buffer,
                                        SocketAddress& from) {
    sockaddr_storage sender{};
    socklen_t length = sizeof sender;
    const auto n = ::recvfrom(Native(s), buffer.data(), buffer.size(), 0,
                              reinterpret_cast<sockaddr*>(&sender), &length);
    if (n >= 0) from = SocketAddress::FromSystem(&sender, length);
    return n;
}

SocketAddress SocketCalls::LocalAddress(SocketHandle s) {
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    if (getsockname(Native(s), reinterpret_cast<sockaddr*>(&local), &length) != 0) return {};
    return SocketAddress::FromSystem(&local, length);
}

int SocketCalls::Wait(SocketHandle s, bool writable, int timeoutMs) {
    pollfd p{Native(s), static_cast<short>(writable ? POLLOUT : POLLIN), 0};
    return ::poll(&p, 1, std::max(timeoutMs, 0));
}

std::vector<bool> SocketCalls::WaitReadable(std::span<const SocketHandle> handles, int timeoutMs) {
    std::vector<bool> ready(handles.size(), false);
    std::vector<pollfd> polls;
    for (const SocketHandle h : handles) polls.push_back({Native(h), POLLIN, 0});
    if (::poll(polls.data(), polls.size(), std::max(timeoutMs, 0)) <= 0) return ready;
    for (std::size_t k = 0; k < polls.size(); ++k) {
        // A hang-up or an error counts too: the read says which.
        if (polls[k].revents != 0) ready[k] = true;
    }
    return ready;
}

}  // namespace qt40
