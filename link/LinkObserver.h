#pragma once
// Told of every frame the link sends and of how every receive ends, on the
// worker thread, as it happens: the traffic recorder listens here. An
// observer must be quick and must not call back into the link.

#include <cstdint>
#include <span>

#include "transport/FrameTransport.h"
#include "transport/SessionMessageObserver.h"

namespace qt40 {

// Over HART-IP it is told of the session's own messages too.
class LinkObserver : public SessionMessageObserver {
public:
    virtual ~LinkObserver() = default;
    // The exchanges that follow go over `kind` (a port was opened).
    virtual void TransportOpened(TransportKind kind) { (void)kind; }
    // Over the network, the message a request went in, header included:
    // right before RequestSent of that request.
    virtual void RequestMessage(std::span<const std::uint8_t> message) { (void)message; }
    // The request went onto the line: the frame with its preambles, on try
    // `attempt` of its exchange (1 the first).
    virtual void RequestSent(std::span<const std::uint8_t> frame, int attempt) = 0;
    // The request could not be sent.
    virtual void RequestNotSent(std::span<const std::uint8_t> frame, int attempt,
                                SendFailure why) = 0;
    // Over the network, the message an answer came in, header included:
    // right before ReceiveEnded of that receive.
    virtual void AnswerMessage(std::span<const std::uint8_t> message) { (void)message; }
    // The receive ended: what it kept from the delimiter on, and the
    // preambles that came before it.
    virtual void ReceiveEnded(std::span<const std::uint8_t> frame, int preambles,
                              ReceiveEnd end) = 0;
};

}  // namespace qt40
