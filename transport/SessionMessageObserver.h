#pragma once
// Told of the HART-IP messages that belong to no exchange of the link, as
// they went: the session's own (initiate, close, keep-alive and what the
// server said to them) and what the server sent that no request took (a late
// answer, an unasked message, a session closed instead of an answer). The
// link's exchanges carry their own messages. Called on whichever thread
// holds the connection (the worker or the session keeper): be quick, and do
// not call back into the transport.

#include <cstdint>
#include <span>

namespace qt40 {

enum class TransportKind : std::uint8_t;

class SessionMessageObserver {
public:
    virtual ~SessionMessageObserver() = default;
    // `sent` for a message of ours, else one from the server (or a datagram
    // that is no HART-IP message at all).
    virtual void SessionMessage(std::span<const std::uint8_t> message, bool sent,
                                TransportKind kind) {
        (void)message;
        (void)sent;
        (void)kind;
    }
};

}  // namespace qt40
