#pragma once
// A device behind an I/O system (remote I/O, a HART multiplexer, a gateway
// that is a HART device of its own), reached through command 77 over a
// HART-IP connection to the I/O system: hartip://HOST[:PORT]/CARD/CHANNEL.
//
// The link sees an ordinary transport: it sends the sub-device's request frame
// and receives the sub-device's whole answer frame, its check byte computed,
// for the command it sent. In between, in this one place:
//  - Open opens the HART-IP session and reads the I/O system's identity with
//    command 0 at polling address 0, for its long address;
//  - Send wraps the request (delimiter through data, without preambles and
//    check byte) in a command 77 request to the I/O system: card, channel,
//    transmit preamble count, frame;
//  - Receive unwraps the answer. Busy (32), delayed response initiated (33),
//    running (34) and conflict (36) are the I/O system still at work: the
//    identical request goes again after a pause, until the real answer or the
//    answer time-out. Delayed response dead (35) is no answer from the device;
//    an invalid card (21) or channel (22) and any other refusal of the I/O
//    system end the receive as unanswered with the reason in words. So the
//    link never sees the I/O system's own codes.
// The link's exchange keeps the request it sent and the answer with the same
// HART-IP sequence number (the first, often a delayed response initiated);
// the repeats, their answers, the final answer after them and the identity
// read go to the session observer. So the traffic record holds everything
// that went over the wire, and a capture pairs each answer with its request.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "base/TraceSink.h"
#include "hart/IoSystemCommands.h"
#include "transport/FrameTransport.h"
#include "transport/HartIpEndpoint.h"

namespace qt40 {

// The longest wait for a sub-device's answer through an I/O system: the
// largest frame each way on a 1200 bit/s loop (20 preambles and 264 bytes at
// 11 bits a byte, 2.6 s each) and the device's turnaround.
inline constexpr int kSubDeviceAnswerTimeoutMs = 6000;
// The same while polling addresses are searched: command 0 on the loop (about
// 0.8 s) with three retries of the I/O system's own; an I/O system that gives
// up answers 35 sooner.
inline constexpr int kSubDeviceSearchAnswerTimeoutMs = 3000;

struct SubDeviceOptions {
    // After a delayed response was initiated (33): soon, for a quick device.
    int firstRepeatMs = 50;
    // Between later repeats, and after busy (32) or conflict (36): the I/O
    // system is not flooded, and an answer waits at most this long unasked.
    int repeatMs = 100;
    int answerTimeoutMs = kSubDeviceAnswerTimeoutMs;
    int searchAnswerTimeoutMs = kSubDeviceSearchAnswerTimeoutMs;
};

class SubDeviceTransport final : public FrameTransport {
public:
    // `server` carries the frames to the I/O system (a HART-IP client).
    // Pauses run on `clock` (a steady one when null).
    SubDeviceTransport(std::unique_ptr<FrameTransport> server, SubDeviceOptions options = {},
                       TraceSink* trace = nullptr, Clock* clock = nullptr);
    ~SubDeviceTransport() override;
    SubDeviceTransport(const SubDeviceTransport&) = delete;
    SubDeviceTransport& operator=(const SubDeviceTransport&) = delete;

    // `name` is hartip://HOST[:PORT]/CARD/CHANNEL (or hartip+udp://…). 201
    // for a malformed name, a name without card and channel, a server that
    // cannot be reached, or one that does not identify itself with command 0.
    CommResult Open(const std::string& name) override;
    void Close() override;
    bool IsOpen() const override { return open_; }
    const std::string& Name() const override { return name_; }
    // The server's (no preambles, no RTS), with answer time-outs long enough
    // for a sub-device on a 1200 bit/s loop: the options' or the server's,
    // whichever is longer.
    TransportTiming Timing() const override;
    TransportKind Kind() const override { return server_->Kind(); }
    // `written` gets the HART-IP message of the command 77 request.
    SendResult Send(std::span<const std::uint8_t> request, const Written& written = {}) override;
    // The sub-device's answer frame; `message` is the HART-IP message of the
    // command 77 answer it came in.
    ReceiveResult Receive(std::span<std::uint8_t> answer, int timeoutMs) override;
    void Purge() override { server_->Purge(); }
    void ClearError() override { server_->ClearError(); }
    void Renew() override { server_->Renew(); }
    void SetSessionObserver(SessionMessageObserver* observer) override;
    bool Gone() const override { return server_->Gone(); }
    void Abort(bool on) override;
    std::optional<TransportMessage> FailureMessage() const override;
    std::string LastError() const override;

    // The card and channel of the last Open that parsed.
    SubDevicePlace Place() const { return place_; }
    // The I/O system's long address (master bits clear), after Open.
    const std::array<std::uint8_t, 5>& IoSystemAddress() const { return ioAddress_; }
    // "card 1 channel 2", for the trace and messages.
    std::string PlaceText() const;

private:
    // How a wait for the I/O system's final answer ended.
    struct Final {
        ReceiveResult got;                 // the server's receive of the last answer
        std::optional<std::uint8_t> code;  // its response code, when it was a whole answer
        bool timedOut = false;             // still busy or delayed at the deadline
        std::uint8_t lastCode = 0;         // when timed out: the last busy or delayed code
    };
    // Receives the answer to `frame` (sent already), sending it again while
    // the I/O system answers busy or delayed, until `deadlineMs`. The repeats
    // and their answers go to the session observer. With `first`, the
    // message of the first answer is kept there instead (it answers the
    // request the link sent: the same sequence number), and a final answer
    // after repeats goes to the observer too.
    Final AwaitFinal(const std::vector<std::uint8_t>& frame, std::int64_t deadlineMs,
                     std::vector<std::uint8_t>* first = nullptr);
    bool ReadIdentity();
    void Pause(int ms);
    void Tell(std::span<const std::uint8_t> message, bool sent);
    void Failed(std::string key, MessageArgs args, std::string english);
    void Trace(const std::string& line) { trace_.Trace(line + "\n"); }

    std::unique_ptr<FrameTransport> server_;
    const SubDeviceOptions options_;
    NullTraceSink silent_;
    SteadyClock steady_;
    TraceSink& trace_;
    Clock& clock_;
    std::atomic<SessionMessageObserver*> observer_{nullptr};

    std::string name_;
    std::string serverUrl_;
    SubDevicePlace place_;
    std::array<std::uint8_t, 5> ioAddress_{};
    std::uint8_t preambles_ = 5;  // the transmit preamble count the sub-device asks for
    std::atomic<bool> open_{false};
    std::atomic<bool> abort_{false};

    // The command 77 request under way and the command it carries.
    std::vector<std::uint8_t> pending_;
    std::optional<std::uint8_t> command_;
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(kMaxFrameSize);
    std::vector<std::uint8_t> message_;  // the answer's message, kept for the caller

    std::optional<TransportMessage> failure_;  // ours; none when the server's says it
    std::string failureText_;
};

}  // namespace qt40
