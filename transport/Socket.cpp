#include "transport/Socket.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace qt40 {
namespace {

#ifdef _WIN32
using Native = SOCKET;
using AddressLength = int;
constexpr Native kInvalid = INVALID_SOCKET;
constexpr int kNoSignal = 0;
// Winsock reports an ICMP "port unreachable" on the next receive of a datagram
// socket; a server must not take that for a broken socket.
#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

int LastSystemError() { return WSAGetLastError(); }
bool WouldBlock(int error) { return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS; }
bool Interrupted(int error) { return error == WSAEINTR; }

std::string SystemText(int error) {
    char* text = nullptr;
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string words = n && text ? std::string(text, n) : "error " + std::to_string(error);
    if (text) LocalFree(text);
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' ' ||
                              words.back() == '.')) {
        words.pop_back();
    }
    return words;
}

SocketFault FaultOf(int error) {
    switch (error) {
        case WSAECONNREFUSED:
            return SocketFault::Refused;
        case WSAETIMEDOUT:
            return SocketFault::TimedOut;
        case WSAEHOSTUNREACH:
        case WSAENETUNREACH:
        case WSAEHOSTDOWN:
        case WSAENETDOWN:
            return SocketFault::Unreachable;
        case WSAECONNRESET:
        case WSAECONNABORTED:
        case WSAENETRESET:
        case WSAESHUTDOWN:
        case WSAENOTCONN:
            return SocketFault::Reset;
        default:
            return SocketFault::Other;
    }
}

void CloseNative(Native s) { closesocket(s); }

bool MakeNonBlocking(Native s) {
    u_long on = 1;
    return ioctlsocket(s, FIONBIO, &on) == 0;
}

// Winsock wants starting once per process before the first call.
void EnsureNetwork() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}
#else
using Native = int;
using AddressLength = socklen_t;
constexpr Native kInvalid = -1;
constexpr int kNoSignal = MSG_NOSIGNAL;  // a peer gone under a send is an error, not SIGPIPE

int LastSystemError() { return errno; }
bool WouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINPROGRESS; }
bool Interrupted(int error) { return error == EINTR; }
std::string SystemText(int error) { return std::strerror(error); }

SocketFault FaultOf(int error) {
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

void CloseNative(Native s) { ::close(s); }
bool MakeNonBlocking(Native) { return true; }  // made so at creation
void EnsureNetwork() {}
#endif

Native ToNative(std::uintptr_t handle) { return static_cast<Native>(handle); }

using SteadyTime = std::chrono::steady_clock::time_point;

SteadyTime DeadlineAfter(int ms) {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(ms, 0));
}

int MsUntil(SteadyTime deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::int64_t>(left.count(), 0));
}

bool Raised(const std::atomic<bool>* abort) { return abort && abort->load(); }

std::vector<SocketAddress> Collect(const addrinfo* list) {
    std::vector<SocketAddress> addresses;
    for (const addrinfo* a = list; a; a = a->ai_next) {
        if (a->ai_family != AF_INET && a->ai_family != AF_INET6) continue;
        SocketAddress address;
        const auto n = std::min<std::size_t>(a->ai_addrlen, address.bytes.size());
        std::memcpy(address.bytes.data(), a->ai_addr, n);
        address.size = static_cast<std::uint32_t>(n);
        addresses.push_back(address);
    }
    return addresses;
}

// A name lookup on a thread of its own: a name server that never answers
// must not hold the caller past its time-out. The thread is left to finish
// alone when the caller stops waiting.
struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int result = 0;
    std::vector<SocketAddress> addresses;
};

int Family(const SocketAddress& a) {
    sockaddr_storage s{};
    std::memcpy(&s, a.bytes.data(), std::min<std::size_t>(a.size, sizeof s));
    return s.ss_family;
}

}  // namespace

// ---- SocketAddress ----------------------------------------------------------

bool SocketAddress::IsIpv6() const { return Valid() && Family(*this) == AF_INET6; }

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
    if (getnameinfo(reinterpret_cast<const sockaddr*>(bytes.data()), static_cast<AddressLength>(size),
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

// ---- Socket -----------------------------------------------------------------

Socket::~Socket() { Close(); }

Socket::Socket(Socket&& other) noexcept { *this = std::move(other); }

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, kNoHandle);
        type_ = other.type_;
        lastFault_ = other.lastFault_;
        lastError_ = std::move(other.lastError_);
    }
    return *this;
}

bool Socket::IsOpen() const { return handle_ != kNoHandle; }

bool Socket::Failed(SocketFault fault, const std::string& text) {
    lastFault_ = fault;
    lastError_ = text;
    return false;
}

bool Socket::FailedWithSystemError(const char* what) {
    const int error = LastSystemError();
    return Failed(FaultOf(error), std::string(what) + ": " + SystemText(error));
}

bool Socket::Create(int family, SocketType type) {
    Close();
    EnsureNetwork();
    type_ = type;
    const int kind = type == SocketType::Stream ? SOCK_STREAM : SOCK_DGRAM;
#ifdef _WIN32
    const Native s = ::socket(family, kind, 0);
#else
    const Native s = ::socket(family, kind | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
#endif
    if (s == kInvalid) return FailedWithSystemError("socket");
    if (!MakeNonBlocking(s)) {
        const bool failed = FailedWithSystemError("non-blocking mode");
        CloseNative(s);
        return failed;
    }
    if (type == SocketType::Stream) {
        // Small messages, one at a time: each goes at once, not after a wait for more.
        int on = 1;
        setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    }
    handle_ = static_cast<std::uintptr_t>(s);
    lastFault_ = SocketFault::None;
    lastError_.clear();
    return true;
}

void Socket::Close() {
    if (!IsOpen()) return;
    const Native s = ToNative(handle_);
#ifdef _WIN32
    if (type_ == SocketType::Stream) ::shutdown(s, SD_SEND);
#else
    if (type_ == SocketType::Stream) ::shutdown(s, SHUT_WR);
#endif
    CloseNative(s);
    handle_ = kNoHandle;
}

std::vector<SocketAddress> Socket::Resolve(const std::string& host, std::uint16_t port,
                                           SocketType type, int timeoutMs,
                                           const std::atomic<bool>* abort, SocketFault& fault,
                                           std::string& text) {
    EnsureNetwork();
    fault = SocketFault::None;
    text.clear();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = type == SocketType::Stream ? SOCK_STREAM : SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    const std::string service = std::to_string(port);

    // An address literal needs no name server.
    addrinfo* list = nullptr;
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &list) == 0) {
        auto addresses = Collect(list);
        freeaddrinfo(list);
        return addresses;
    }

    hints.ai_flags = AI_NUMERICSERV;
    auto lookup = std::make_shared<Lookup>();
    try {
        std::thread([lookup, host, service, hints] {
            addrinfo* found = nullptr;
            const int result = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
            std::vector<SocketAddress> addresses;
            if (result == 0) {
                addresses = Collect(found);
                freeaddrinfo(found);
            }
            std::lock_guard lock(lookup->mutex);
            lookup->result = result;
            lookup->addresses = std::move(addresses);
            lookup->finished = true;
            lookup->done.notify_all();
        }).detach();
    } catch (const std::system_error& e) {
        fault = SocketFault::Other;
        text = std::string("name lookup: ") + e.what();
        return {};
    }

    const SteadyTime deadline = DeadlineAfter(timeoutMs);
    std::unique_lock lock(lookup->mutex);
    while (!lookup->finished) {
        if (Raised(abort)) {
            fault = SocketFault::Aborted;
            text = "name lookup aborted";
            return {};
        }
        const int left = MsUntil(deadline);
        if (left <= 0) {
            fault = SocketFault::TimedOut;
            text = "the name lookup of " + host + " took longer than " + std::to_string(timeoutMs) + " ms";
            return {};
        }
        lookup->done.wait_for(lock, std::chrono::milliseconds(std::min(left, kSocketSliceMs)));
    }
    if (lookup->result != 0) {
        fault = SocketFault::HostNotFound;
#ifdef _WIN32
        text = host + ": " + SystemText(lookup->result);
#else
        text = host + ": " + gai_strerror(lookup->result);
#endif
        return {};
    }
    if (lookup->addresses.empty()) {
        fault = SocketFault::HostNotFound;
        text = host + ": no IPv4 or IPv6 address";
    }
    return lookup->addresses;
}

bool Socket::WaitFor(bool writable, int timeoutMs, const std::atomic<bool>* abort) {
    const SteadyTime deadline = DeadlineAfter(timeoutMs);
    const Native s = ToNative(handle_);
    for (;;) {
        if (Raised(abort)) return Failed(SocketFault::Aborted, "aborted");
        const int slice = std::min(MsUntil(deadline), kSocketSliceMs);
#ifdef _WIN32
        // select, not WSAPoll: WSAPoll does not report a connection refused.
        fd_set ready, failed;
        FD_ZERO(&ready);
        FD_ZERO(&failed);
        FD_SET(s, &ready);
        FD_SET(s, &failed);
        timeval wait{slice / 1000, (slice % 1000) * 1000};
        const int n = ::select(0, writable ? nullptr : &ready, writable ? &ready : nullptr, &failed, &wait);
#else
        pollfd p{s, static_cast<short>(writable ? POLLOUT : POLLIN), 0};
        const int n = ::poll(&p, 1, slice);
#endif
        if (n > 0) return true;  // ready, or failed: the next call says which
        if (n < 0 && !Interrupted(LastSystemError())) return FailedWithSystemError("wait");
        if (MsUntil(deadline) <= 0) return Failed(SocketFault::TimedOut, "timed out");
    }
}

bool Socket::Connect(const SocketAddress& address, SocketType type, int timeoutMs,
                     const std::atomic<bool>* abort) {
    if (!Create(Family(address), type)) return false;
    const Native s = ToNative(handle_);
    const auto* target = reinterpret_cast<const sockaddr*>(address.bytes.data());
    if (::connect(s, target, static_cast<AddressLength>(address.size)) == 0) return true;
    const int error = LastSystemError();
    if (type == SocketType::Datagram || !WouldBlock(error)) {
        FailedWithSystemError("connect");
        Close();
        return false;
    }
    if (!WaitFor(true, timeoutMs, abort)) {
        const SocketFault fault = lastFault_;
        const std::string text = fault == SocketFault::TimedOut
                                     ? "no connection to " + address.Text() + " within " +
                                           std::to_string(timeoutMs) + " ms"
                                     : lastError_;
        Close();
        return Failed(fault, text);
    }
    int result = 0;
    AddressLength length = sizeof result;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&result), &length) != 0) {
        FailedWithSystemError("connect");
        Close();
        return false;
    }
    if (result != 0) {
        Failed(FaultOf(result), "connect to " + address.Text() + ": " + SystemText(result));
        Close();
        return false;
    }
    return true;
}

bool Socket::OpenDatagram(const SocketAddress& like) {
    return Create(Family(like), SocketType::Datagram);
}

bool Socket::SetPeer(const SocketAddress& address) {
    if (!IsOpen()) return Failed(SocketFault::Other, "not open");
    if (::connect(ToNative(handle_), reinterpret_cast<const sockaddr*>(address.bytes.data()),
                  static_cast<AddressLength>(address.size)) != 0) {
        return FailedWithSystemError("connect");
    }
    return true;
}

bool Socket::Listen(const SocketAddress& address, SocketType type) {
    if (!Create(Family(address), type)) return false;
    const Native s = ToNative(handle_);
#ifndef _WIN32
    // A server started again at once may take its port back.
    int on = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
#else
    if (type == SocketType::Datagram) {
        BOOL report = FALSE;
        DWORD returned = 0;
        WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr, nullptr);
    }
#endif
    if (::bind(s, reinterpret_cast<const sockaddr*>(address.bytes.data()),
               static_cast<AddressLength>(address.size)) != 0) {
        FailedWithSystemError(("bind " + address.Text()).c_str());
        Close();
        return false;
    }
    if (type == SocketType::Stream && ::listen(s, SOMAXCONN) != 0) {
        FailedWithSystemError("listen");
        Close();
        return false;
    }
    return true;
}

Socket Socket::Accept(SocketAddress* peer) {
    Socket accepted;
    if (!IsOpen()) return accepted;
    sockaddr_storage from{};
    AddressLength length = sizeof from;
#ifdef _WIN32
    const Native s = ::accept(ToNative(handle_), reinterpret_cast<sockaddr*>(&from), &length);
#else
    const Native s = ::accept4(ToNative(handle_), reinterpret_cast<sockaddr*>(&from), &length,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
#endif
    if (s == kInvalid) return accepted;
    MakeNonBlocking(s);
    int on = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    accepted.handle_ = static_cast<std::uintptr_t>(s);
    accepted.type_ = SocketType::Stream;
    if (peer) {
        peer->size = static_cast<std::uint32_t>(std::min<std::size_t>(length, peer->bytes.size()));
        std::memcpy(peer->bytes.data(), &from, peer->size);
    }
    return accepted;
}

bool Socket::Send(std::span<const std::uint8_t> bytes, int timeoutMs, const std::atomic<bool>* abort) {
    if (!IsOpen()) return Failed(SocketFault::Other, "not open");
    const SteadyTime deadline = DeadlineAfter(timeoutMs);
    std::size_t sent = 0;
    do {
        const auto n = ::send(ToNative(handle_), reinterpret_cast<const char*>(bytes.data() + sent),
                              static_cast<int>(bytes.size() - sent), kNoSignal);
        if (n >= 0) {
            sent += static_cast<std::size_t>(n);
            if (type_ == SocketType::Datagram) return true;
            continue;
        }
        const int error = LastSystemError();
        if (Interrupted(error)) continue;
        if (!WouldBlock(error)) return FailedWithSystemError("send");
        if (!WaitFor(true, MsUntil(deadline), abort)) return false;
    } while (sent < bytes.size());
    return true;
}

bool Socket::SendTo(std::span<const std::uint8_t> bytes, const SocketAddress& to) {
    if (!IsOpen()) return Failed(SocketFault::Other, "not open");
    const auto n = ::sendto(ToNative(handle_), reinterpret_cast<const char*>(bytes.data()),
                            static_cast<int>(bytes.size()), kNoSignal,
                            reinterpret_cast<const sockaddr*>(to.bytes.data()),
                            static_cast<AddressLength>(to.size));
    if (n < 0) return FailedWithSystemError("sendto");
    return true;
}

Socket::Received Socket::Receive(std::span<std::uint8_t> buffer, int timeoutMs,
                                 const std::atomic<bool>* abort, SocketAddress* from) {
    if (!IsOpen()) {
        Failed(SocketFault::Other, "not open");
        return {0, lastFault_};
    }
    const SteadyTime deadline = DeadlineAfter(timeoutMs);
    for (;;) {
        // Before the bytes, however many wait: a peer that never stops
        // sending must not keep a stopping caller.
        if (Raised(abort)) {
            Failed(SocketFault::Aborted, "aborted");
            return {0, SocketFault::Aborted};
        }
        sockaddr_storage sender{};
        AddressLength length = sizeof sender;
        const auto n = ::recvfrom(ToNative(handle_), reinterpret_cast<char*>(buffer.data()),
                                  static_cast<int>(buffer.size()), 0,
                                  reinterpret_cast<sockaddr*>(&sender), &length);
        if (n >= 0) {
            if (n == 0 && type_ == SocketType::Stream) {
                Failed(SocketFault::Closed, "the peer closed the connection");
                return {0, SocketFault::Closed};
            }
            if (from) {
                from->size = static_cast<std::uint32_t>(std::min<std::size_t>(length, from->bytes.size()));
                std::memcpy(from->bytes.data(), &sender, from->size);
            }
            return {static_cast<std::size_t>(n), SocketFault::None};
        }
        const int error = LastSystemError();
        if (Interrupted(error)) continue;
#ifdef _WIN32
        if (error == WSAEMSGSIZE) return {buffer.size(), SocketFault::None};  // cut to the buffer
#endif
        if (!WouldBlock(error)) {
            FailedWithSystemError("receive");
            return {0, lastFault_};
        }
        if (MsUntil(deadline) <= 0) {
            Failed(SocketFault::TimedOut, "timed out");
            return {0, SocketFault::TimedOut};
        }
        if (!WaitFor(false, MsUntil(deadline), abort)) return {0, lastFault_};
    }
}

SocketAddress Socket::LocalAddress() const {
    SocketAddress address;
    if (!IsOpen()) return address;
    sockaddr_storage local{};
    AddressLength length = sizeof local;
    if (getsockname(ToNative(handle_), reinterpret_cast<sockaddr*>(&local), &length) == 0) {
        address.size = static_cast<std::uint32_t>(std::min<std::size_t>(length, address.bytes.size()));
        std::memcpy(address.bytes.data(), &local, address.size);
    }
    return address;
}

std::vector<bool> Socket::WaitReadable(std::span<Socket* const> sockets, int timeoutMs) {
    std::vector<bool> ready(sockets.size(), false);
#ifdef _WIN32
    std::vector<WSAPOLLFD> polls;
#else
    std::vector<pollfd> polls;
#endif
    std::vector<std::size_t> index;
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        if (!sockets[i] || !sockets[i]->IsOpen()) continue;
        polls.push_back({ToNative(sockets[i]->handle_), POLLIN, 0});
        index.push_back(i);
    }
    if (polls.empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::max(timeoutMs, 0)));
        return ready;
    }
#ifdef _WIN32
    const int n = WSAPoll(polls.data(), static_cast<ULONG>(polls.size()), std::max(timeoutMs, 0));
#else
    const int n = ::poll(polls.data(), polls.size(), std::max(timeoutMs, 0));
#endif
    if (n <= 0) return ready;
    for (std::size_t k = 0; k < polls.size(); ++k) {
        // A hang-up or an error is "readable" too: the read says which.
        if (polls[k].revents != 0) ready[index[k]] = true;
    }
    return ready;
}

}  // namespace qt40
