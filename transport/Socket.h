#pragma once
// A small socket layer over POSIX sockets and Winsock, for the HART-IP client
// and the simulator's server. Every socket is non-blocking underneath; every
// call that waits takes a time-out and an abort flag and looks at the flag at
// least every kSocketSliceMs, so nothing blocks for good.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "transport/SocketAddress.h"
#include "transport/SocketBasics.h"

namespace qt40 {

class Socket {
public:
    Socket() = default;
    ~Socket();
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // The addresses of `host`, as NameLookup::Resolve gives them.
    static std::vector<SocketAddress> Resolve(const std::string& host, std::uint16_t port,
                                              SocketType type, int timeoutMs,
                                              const std::atomic<bool>* abort, SocketFault& fault,
                                              std::string& text);

    // A stream connected to `address` within `timeoutMs`; a datagram socket
    // with `address` as its only peer. False with LastFault() on failure.
    bool Connect(const SocketAddress& address, SocketType type, int timeoutMs,
                 const std::atomic<bool>* abort);
    // A datagram socket of the family of `like` on a free port, without a peer.
    bool OpenDatagram(const SocketAddress& like);
    // Makes `address` the only peer of a datagram socket.
    bool SetPeer(const SocketAddress& address);
    // Bound to `address` (port 0: any free port); a stream also listens.
    bool Listen(const SocketAddress& address, SocketType type);
    // A connection waiting on a listening stream, or a closed socket when none is.
    Socket Accept(SocketAddress* peer = nullptr);

    // A stream sends every byte within `timeoutMs`; a datagram socket sends
    // one datagram to its peer.
    bool Send(std::span<const std::uint8_t> bytes, int timeoutMs, const std::atomic<bool>* abort);
    // One datagram to `to`.
    bool SendTo(std::span<const std::uint8_t> bytes, const SocketAddress& to);

    struct Received {
        std::size_t size = 0;
        SocketFault fault = SocketFault::None;  // None when `size` bytes arrived
    };
    // Waits up to `timeoutMs` (0: only looks) for bytes: what one read gives on a
    // stream (Closed at its orderly end), one datagram (cut to the buffer) on a
    // datagram socket, with its sender in `from`. TimedOut when nothing came.
    Received Receive(std::span<std::uint8_t> buffer, int timeoutMs, const std::atomic<bool>* abort,
                     SocketAddress* from = nullptr);

    // Ends a stream in order (our side sends no more), then closes.
    void Close();
    bool IsOpen() const;
    SocketAddress LocalAddress() const;

    SocketFault LastFault() const { return lastFault_; }
    // The system's words for the last failure.
    const std::string& LastError() const { return lastError_; }

    // Which of `sockets` have bytes or a connection waiting, within `timeoutMs`
    // (closed sockets never do). An empty answer when none did.
    static std::vector<bool> WaitReadable(std::span<Socket* const> sockets, int timeoutMs);

private:
    bool Create(int family, SocketType type);
    bool Failed(SocketFault fault, const std::string& text);
    bool FailedWithSystemError(const char* what);
    // Waits for the socket to be readable (or writable); false on time-out, abort or error.
    bool WaitFor(bool writable, int timeoutMs, const std::atomic<bool>* abort);

    SocketHandle handle_ = kNoSocketHandle;
    SocketType type_ = SocketType::Stream;
    SocketFault lastFault_ = SocketFault::None;
    std::string lastError_;
};

}  // namespace qt40
