#pragma once
// The words the socket layer and its platform calls share.

#include <cstdint>

namespace qt40 {

// Every wait looks at the abort flag at least this often.
inline constexpr int kSocketSliceMs = 50;

enum class SocketType { Stream, Datagram };

enum class SocketFault {
    None,
    HostNotFound,  // the name did not resolve
    Refused,       // nobody listens there (a datagram socket learns it from ICMP, where the system
                   // tells)
    TimedOut,      // the time-out passed
    Unreachable,   // no route to the host or its network
    Closed,        // the peer ended the connection in order
    Reset,         // the connection broke
    Aborted,       // the abort flag was raised
    Other,         // see the text
};

// A system socket (a descriptor, or a Winsock SOCKET), wide enough for both.
using SocketHandle = std::uintptr_t;
inline constexpr SocketHandle kNoSocketHandle = ~SocketHandle{0};

}  // namespace qt40
