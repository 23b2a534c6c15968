#pragma once
// What the link drives: one request frame out, its answer frame back, over a
// serial HART modem or over the network. The link keeps the protocol (frames,
// retries, the worker's handshake); a transport moves whole frames and says
// what its medium needs around them.
//
// Threads: Open and Close run while no exchange runs (before the worker starts,
// after it has stopped); Exchange runs on the worker thread only; Abort, Gone
// and IsOpen may be called from any thread. A transport may keep a thread of its
// own (the HART-IP session keeper); it is started by Open and joined by Close.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "hart/CommResult.h"
#include "model/Prompts.h"

namespace qt40 {

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

class FrameTransport {
public:
    virtual ~FrameTransport() = default;

    // Opens the port or the connection `name` names. 200; 202 when the name is
    // empty; 201 when it cannot be opened (FailureMessage and LastError say why).
    // Opening an open transport closes it first.
    virtual CommResult Open(const std::string& name) = 0;
    // Ends the connection in order (a network session is closed with the
    // server) and releases the port. Safe to call when closed.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // The name last opened or tried, as given.
    virtual const std::string& Name() const = 0;
    virtual TransportTiming Timing() const = 0;

    // Sends `request` (a frame as the link built it, with the preambles Timing()
    // asks for) and waits up to `timeoutMs` for the answer to it. 200 with the
    // answer frame, from its delimiter through its checksum, in the first
    // `answerSize` bytes of `answer`: a whole slave frame whose checksum holds,
    // for the command the request carried. 209 otherwise (nothing came in time,
    // a broken or foreign frame, the connection failed, aborted); LastError
    // says why. One attempt: the link repeats as its retry policy says.
    virtual CommResult Exchange(std::span<const std::uint8_t> request,
                                std::span<std::uint8_t> answer, std::size_t& answerSize,
                                int timeoutMs) = 0;

    // True when the last exchange failed because the port or the connection is
    // gone (a modem unplugged, a connection lost or refused again): the link
    // gives up the remaining tries of that request at once.
    virtual bool Gone() const = 0;
    // While on, a waiting Open or Exchange gives up within a few tens of
    // milliseconds (the worker is stopping).
    virtual void Abort(bool on) = 0;

    // What to tell the user about the last failure of Open or Exchange; none
    // where a general message ("Err_COM") says it best.
    virtual std::optional<TransportMessage> FailureMessage() const = 0;
    // The last failure in English, one line, for the trace and the command-line tool.
    virtual std::string LastError() const = 0;
};

}  // namespace qt40
