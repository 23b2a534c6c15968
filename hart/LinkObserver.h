#pragma once
// Told of every frame the link sends and of how every receive ends, on the
// worker thread, as it happens: the traffic recorder listens here. An
// observer must be quick and must not call back into the link.

#include <cstdint>
#include <span>

namespace qt40 {

// How the receive after a request ended.
enum class ReceiveEnd : std::uint8_t {
    Answer,          // a whole answer to the request, checksum right
    NoAnswer,        // silence until the time-out
    Incomplete,      // the answer stopped half-way
    BadChecksum,     // a whole frame whose checksum does not hold
    WrongDelimiter,  // not a device's answer (an echo, another master)
    OtherCommand,    // a whole answer to another command, dropped
    PortLost,        // the port vanished
    Aborted,         // the worker is stopping
};

enum class SendFailure : std::uint8_t {
    LineBusy,     // the modem's carrier never dropped
    WriteFailed,  // the port refused the bytes
    PortClosed,   // no open port (or one that vanished)
};

class LinkObserver {
public:
    virtual ~LinkObserver() = default;
    // The request went onto the line: the frame with its preambles, on try
    // `attempt` of its exchange (1 the first).
    virtual void RequestSent(std::span<const std::uint8_t> frame, int attempt) = 0;
    // The request could not be sent.
    virtual void RequestNotSent(std::span<const std::uint8_t> frame, int attempt,
                                SendFailure why) = 0;
    // The receive ended: what it kept from the delimiter on, and the
    // preambles that came before it.
    virtual void ReceiveEnded(std::span<const std::uint8_t> frame, int preambles,
                              ReceiveEnd end) = 0;
};

}  // namespace qt40
