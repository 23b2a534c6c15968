// The socket calls on Windows (Winsock 2).
#include "transport/SocketCalls.h"

// Winsock's headers before windows.h, which would bring the old ones.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <algorithm>

// Winsock reports an ICMP "port unreachable" on the next receive of a datagram
// socket; a server must not take that for a broken socket.
#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace qt40 {
namespace {

SOCKET Native(SocketHandle s) {
    return static_cast<SOCKET>(s);
}

const sockaddr* SystemAddress(const SocketAddress& a) {
    return reinterpret_cast<const sockaddr*>(a.bytes.data());
}

bool MakeNonBlocking(SOCKET s) {
    u_long on = 1;
    return ioctlsocket(s, FIONBIO, &on) == 0;
}

void SetNoDelay(SOCKET s) {
    int on = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}

}  // namespace

void SocketCalls::Start() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

int SocketCalls::LastError() {
    return WSAGetLastError();
}

bool SocketCalls::WouldBlock(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS;
}

bool SocketCalls::Interrupted(int error) {
    return error == WSAEINTR;
}

std::string SocketCalls::ErrorText(int error) {
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

SocketFault SocketCalls::FaultOf(int error) {
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
    return ErrorText(result);
}

SocketHandle SocketCalls::Open(int family, SocketType type, const char** failedStep) {
    const SOCKET s = ::socket(family, type == SocketType::Stream ? SOCK_STREAM : SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET) {
        *failedStep = "socket";
        return kNoSocketHandle;
    }
    if (!MakeNonBlocking(s)) {
        // The error is the caller's to report, not the close's.
        const int error = WSAGetLastError();
        closesocket(s);
        WSASetLastError(error);
        *failedStep = "non-blocking mode";
        return kNoSocketHandle;
    }
    // Small messages, one at a time: each goes at once, not after a wait for more.
    if (type == SocketType::Stream) SetNoDelay(s);
    return static_cast<SocketHandle>(s);
}

void SocketCalls::ShutdownSending(SocketHandle s) {
    ::shutdown(Native(s), SD_SEND);
}

void SocketCalls::Close(SocketHandle s) {
    closesocket(Native(s));
}

int SocketCalls::Connect(SocketHandle s, const SocketAddress& to) {
    return ::connect(Native(s), SystemAddress(to), static_cast<int>(to.size));
}

int SocketCalls::ConnectResult(SocketHandle s, int& error) {
    error = 0;
    int length = sizeof error;
    return getsockopt(Native(s), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) ==
                   0
               ? 0
               : -1;
}

void SocketCalls::PrepareListening(SocketHandle s, SocketType type) {
    if (type != SocketType::Datagram) return;
    BOOL report = FALSE;
    DWORD returned = 0;
    WSAIoctl(Native(s), SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr,
             nullptr);
}

int SocketCalls::Bind(SocketHandle s, const SocketAddress& address) {
    return ::bind(Native(s), SystemAddress(address), static_cast<int>(address.size));
}

int SocketCalls::Listen(SocketHandle s) {
    return ::listen(Native(s), SOMAXCONN);
}

SocketHandle SocketCalls::Accept(SocketHandle s, SocketAddress& peer) {
    sockaddr_storage from{};
    int length = sizeof from;
    const SOCKET accepted = ::accept(Native(s), reinterpret_cast<sockaddr*>(&from), &length);
    if (accepted == INVALID_SOCKET) return kNoSocketHandle;
    MakeNonBlocking(accepted);
    SetNoDelay(accepted);
    peer = SocketAddress::FromSystem(&from, static_cast<std::size_t>(length));
    return static_cast<SocketHandle>(accepted);
}

std::ptrdiff_t SocketCalls::Send(SocketHandle s, std::span<const std::uint8_t> bytes) {
    return ::send(Native(s), reinterpret_cast<const char*>(bytes.data()),
                  static_cast<int>(bytes.size()), 0);
}

std::ptrdiff_t SocketCalls::SendTo(SocketHandle s, std::span<const std::uint8_t> bytes,
                                   const SocketAddress& to) {
    return ::sendto(Native(s), reinterpret_cast<const char*>(bytes.data()),
                    static_cast<int>(bytes.size()), 0, SystemAddress(to),
                    static_cast<int>(to.size));
}

std::ptrdiff_t SocketCalls::ReceiveFrom(SocketHandle s, std::span<std::uint8_t> buffer,
                                        SocketAddress& from) {
    sockaddr_storage sender{};
    int length = sizeof sender;
    int n = ::recvfrom(Native(s), reinterpret_cast<char*>(buffer.data()),
                       static_cast<int>(buffer.size()), 0, reinterpret_cast<sockaddr*>(&sender),
                       &length);
    // Winsock fills the buffer with the start of a longer datagram and calls
    // it an error; elsewhere it is a datagram cut to the buffer, with its sender.
    if (n < 0 && WSAGetLastError() == WSAEMSGSIZE) n = static_cast<int>(buffer.size());
    if (n >= 0) from = SocketAddress::FromSystem(&sender, static_cast<std::size_t>(length));
    return n;
}

SocketAddress SocketCalls::LocalAddress(SocketHandle s) {
    sockaddr_storage local{};
    int length = sizeof local;
    if (getsockname(Native(s), reinterpret_cast<sockaddr*>(&local), &length) != 0) return {};
    return SocketAddress::FromSystem(&local, static_cast<std::size_t>(length));
}

int SocketCalls::Wait(SocketHandle s, bool writable, int timeoutMs) {
    // select, not WSAPoll: WSAPoll does not report a connection refused.
    const SOCKET native = Native(s);
    const int ms = std::max(timeoutMs, 0);
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(native, &ready);
    FD_SET(native, &failed);
    timeval wait{ms / 1000, (ms % 1000) * 1000};
    return ::select(0, writable ? nullptr : &ready, writable ? &ready : nullptr, &failed, &wait);
}

std::vector<bool> SocketCalls::WaitReadable(std::span<const SocketHandle> handles, int timeoutMs) {
    std::vector<bool> ready(handles.size(), false);
    std::vector<WSAPOLLFD> polls;
    for (const SocketHandle h : handles) polls.push_back({Native(h), POLLIN, 0});
    if (WSAPoll(polls.data(), static_cast<ULONG>(polls.size()), std::max(timeoutMs, 0)) <= 0) {
        return ready;
    }
    for (std::size_t k = 0; k < polls.size(); ++k) {
        // A hang-up or an error counts too: the read says which.
        if (polls[k].revents != 0) ready[k] = true;
    }
    return ready;
}

}  // namespace qt40
