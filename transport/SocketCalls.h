#pragma once
// The system's socket calls, with one file for each platform (POSIX, Winsock)
// that the build chooses. Thin on purpose: no waiting policy and no texts of
// our own; Socket and NameLookup above them keep the time-outs, the abort flag
// and the messages. A call that fails leaves its error for LastError().

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "transport/SocketAddress.h"
#include "transport/SocketBasics.h"

namespace qt40 {

class SocketCalls {
public:
    // Readies the network layer; Winsock wants it once per process before any call.
    static void Start();

    static int LastError();
    static bool WouldBlock(int error);
    static bool Interrupted(int error);
    // The system's words for `error`, without a closing full stop.
    static std::string ErrorText(int error);
    static SocketFault FaultOf(int error);

    // The IPv4 and IPv6 addresses of `host`: 0, or the look-up's own result
    // code. `literalOnly` answers address literals alone, without a name
    // server; otherwise the call blocks as long as the system's resolver does.
    static int LookUp(const std::string& host, std::uint16_t port, SocketType type,
                      bool literalOnly, std::vector<SocketAddress>& found);
    // The words for a look-up's result code.
    static std::string LookUpErrorText(int result);

    // A non-blocking socket (a stream sends each write at once), or
    // kNoSocketHandle with `failedStep` naming the call that failed.
    static SocketHandle Open(int family, SocketType type, const char** failedStep);
    // A stream sends no more: the peer reads an orderly end.
    static void ShutdownSending(SocketHandle s);
    static void Close(SocketHandle s);

    // 0, or -1 with LastError().
    static int Connect(SocketHandle s, const SocketAddress& to);
    // How a connection under way ended: 0 with `error` set (0 when connected),
    // or -1 when the system could not tell.
    static int ConnectResult(SocketHandle s, int& error);
    // What a listening socket needs before it binds.
    static void PrepareListening(SocketHandle s, SocketType type);
    static int Bind(SocketHandle s, const SocketAddress& address);
    static int Listen(SocketHandle s);
    // A waiting connection, made like Open's, or kNoSocketHandle when none waits.
    static SocketHandle Accept(SocketHandle s, SocketAddress& peer);

    // Bytes sent or received, or -1 with LastError(); a peer gone under a
    // send is an error, never a signal, and a datagram longer than the buffer
    // comes cut to it, with its sender, on every platform.
    static std::ptrdiff_t Send(SocketHandle s, std::span<const std::uint8_t> bytes);
    static std::ptrdiff_t SendTo(SocketHandle s, std::span<const std::uint8_t> bytes,
                                 const SocketAddress& to);
    static std::ptrdiff_t ReceiveFrom(SocketHandle s, std::span<std::uint8_t> buffer,
                                      SocketAddress& from);
    // Invalid when the system does not say.
    static SocketAddress LocalAddress(SocketHandle s);

    // Waits up to `timeoutMs` for one socket to be readable (or writable):
    // above 0 when it is or when it failed, 0 on time-out, below 0 on error.
    static int Wait(SocketHandle s, bool writable, int timeoutMs);
    // Which of `handles` have bytes, a connection, a hang-up or an error
    // waiting within `timeoutMs`; all false when none has.
    static std::vector<bool> WaitReadable(std::span<const SocketHandle> handles, int timeoutMs);
};

}  // namespace qt40
