#pragma once
// What the link drives: one request frame out, its answer frame back, over a
// serial HART modem or over the network. The link keeps the protocol (frames,
// retries, the expected command, the trace, the worker's handshake); a
// transport moves whole frames and says what its medium needs around them.
//
// Threads: Open and Close run while no exchange runs (before the worker starts,
// after it has stopped); Send, Receive and ClearError run on the worker thread
// only; Abort, Gone, IsOpen and Purge may be called from any thread. A transport
// may keep a thread of its own (the HART-IP session keeper); it is started by
// Open and joined by Close.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "base/CommResult.h"
#include "base/Prompts.h"
#include "transport/LineSetting.h"
#include "transport/SessionMessageObserver.h"

namespace qt40 {

// The medium, for the traffic record and its captures.
enum class TransportKind : std::uint8_t { Serial, HartIpTcp, HartIpUdp };

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

// What the link must do around the exchanges of a transport.
struct TransportTiming {
    int requestPreambles = 5;     // 0xFF bytes the link puts in front of a request
    bool driveRts = true;         // RTS raised only while sending (a modem on the line)
    bool quietLine = true;        // wait for a quiet line and for the carrier to drop before sending
    bool loopPacing = true;       // a send costs its bytes' time at 1200 bit/s
    int answerTimeoutMs = 500;    // the longest wait for an answer to begin
    int searchAnswerTimeoutMs = 200;  // the same while polling addresses are searched
};

// What to tell the user about a failure: a UIMsg key of the language files and
// its arguments.
struct TransportMessage {
    std::string key;
    MessageArgs args;
};

struct SendResult {
    bool sent = false;
    SendFailure why = SendFailure::PortClosed;  // when not sent
};

struct ReceiveResult {
    ReceiveEnd end = ReceiveEnd::NoAnswer;
    // Bytes of the answer buffer filled, from the delimiter on: the whole frame
    // for Answer, what came for the other ends.
    std::size_t size = 0;
    int preambles = 0;  // heard before the delimiter
    // Over the network: the message the answer came in, header included;
    // empty when none came. Valid until the next call into the transport.
    std::span<const std::uint8_t> message;
};

class FrameTransport {
public:
    virtual ~FrameTransport() = default;

    // Opens the port or the connection `name` names. 200; 202 when the name is
    // empty; 201 when it cannot be opened (FailureMessage and LastError say why).
    // Opening an open transport closes it first.
    virtual CommResult Open(const std::string& name) = 0;
    // The line setting the next Open uses; a transport without one ignores it.
    virtual void SetLine(const LineSetting& line) { (void)line; }
    // Ends the connection in order (a network session is closed with the
    // server) and releases the port. Safe to call when closed.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // The name last opened or tried, as given.
    virtual const std::string& Name() const = 0;
    virtual TransportTiming Timing() const = 0;
    virtual TransportKind Kind() const = 0;

    // Called the moment a request has gone out, with the bytes as they went on
    // the medium (the frame on a serial line, the HART-IP message with its
    // header on the network).
    using Written = std::function<void(std::span<const std::uint8_t> onTheWire)>;
    // Sends `request` (a frame as the link built it, with the preambles
    // Timing() asks for). Returns once the medium has taken it (a serial line
    // after the frame's time on the loop).
    virtual SendResult Send(std::span<const std::uint8_t> request, const Written& written = {}) = 0;
    // Waits up to `timeoutMs` for the answer to the request sent last and puts
    // it, from its delimiter, into `answer`. Answer: a whole slave frame whose
    // checksum holds; the link checks that it answers the command it sent.
    virtual ReceiveResult Receive(std::span<std::uint8_t> answer, int timeoutMs) = 0;

    // One attempt: Send, then Receive. 200 with the answer frame in the first
    // `answerSize` bytes of `answer`, a whole slave frame for the command the
    // request carried; 209 otherwise (LastError says why).
    CommResult Exchange(std::span<const std::uint8_t> request, std::span<std::uint8_t> answer,
                        std::size_t& answerSize, int timeoutMs);

    // Discards what waits in either direction (a serial port's buffers).
    virtual void Purge() {}
    // Clears the port's error state after a failed exchange.
    virtual void ClearError() {}
    // The next Send starts afresh: over the network, a new session on a new
    // connection (the user asked to try again). Any thread.
    virtual void Renew() {}
    // Told of the messages that belong to no exchange (a network session's
    // own); null for none. Any thread; it outlives the transport's use of it.
    virtual void SetSessionObserver(SessionMessageObserver* observer) { (void)observer; }

    // True when the last exchange failed because the port or the connection is
    // gone (a modem unplugged, a connection lost or refused again): the link
    // gives up the remaining tries of that request at once.
    virtual bool Gone() const = 0;
    // While on, a waiting Open, Send or Receive gives up within a few tens of
    // milliseconds (the worker is stopping).
    virtual void Abort(bool on) = 0;

    // What to tell the user about the last failure of Open, Send or Receive;
    // none where a general message ("Err_COM") says it best.
    virtual std::optional<TransportMessage> FailureMessage() const = 0;
    // The last failure in English, one line, for the trace and the command-line tool.
    virtual std::string LastError() const = 0;
};

}  // namespace qt40
