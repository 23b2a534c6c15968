#pragma once
// The HART-IP client: a transport that carries the link's frames to a
// HART-IP server (a gateway, a multiplexer, a device with an Ethernet port)
// over TCP or UDP, as the primary host of one session.
//
// Open connects and initiates the session, proposing the inactivity close
// timer; the server may lower it. From then on a keeper thread of the client's
// own holds the session: while nothing is sent (the worker idle, or paused by a
// question box) it sends a keep-alive once half the granted timer has passed,
// and it notices a server that ends the session. Close (and the destructor)
// closes the session with the server and the connection.
//
// Each Send sends the frame, from its delimiter, as a token-passing request
// with the next sequence number, and the Receive after it takes only the
// response with that sequence number and message ID; everything else (a late
// answer to an earlier request, a publish message, a datagram that is not one
// HART-IP message) is dropped and counted. A session the server ended while the
// connection was idle is opened again, once, by the next exchange; a connection
// lost under an exchange fails that exchange at once and marks the transport
// Gone until the next exchange connects again.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/Clock.h"
#include "base/TraceSink.h"
#include "transport/FrameTransport.h"
#include "transport/HartIpEndpoint.h"
#include "transport/HartIpFailure.h"
#include "transport/HartIpSession.h"

namespace qt40 {

// The longest wait for an answer while polling addresses are searched. A
// gateway reaches a 1200 bit/s loop in about 0.8 s for command 0 (request,
// the device's turnaround, an answer with up to 20 preambles), with time for
// one retry of its own on the loop: 16 silent addresses then cost 24 s, where
// the 3 s answer time-out would take 48 s.
inline constexpr int kHartIpSearchAnswerTimeoutMs = 1500;

class HartIpClient final : public FrameTransport {
public:
    // Every deadline and timer of the session, the keeper's turns included,
    // runs on `clock` (a steady one when null).
    explicit HartIpClient(HartIpClientOptions options = {}, TraceSink* trace = nullptr,
                          Clock* clock = nullptr);
    ~HartIpClient() override;
    HartIpClient(const HartIpClient&) = delete;
    HartIpClient& operator=(const HartIpClient&) = delete;

    // `name` is a hartip:// or hartip+udp:// URL. 201 for a malformed one, an
    // unknown host, a refused or unanswered connection, a refused session.
    CommResult Open(const std::string& name) override;
    void Close() override;
    bool IsOpen() const override { return open_; }
    const std::string& Name() const override { return name_; }
    // No preambles, no RTS, no quiet line, no loop pacing; the answer time-out
    // of the options, and while searching kHartIpSearchAnswerTimeoutMs unless
    // that is longer.
    TransportTiming Timing() const override;
    // TCP or UDP, as the last Open named it.
    TransportKind Kind() const override;
    // Opens a new session first when the server ended the last one while idle.
    // `written` gets the whole message, header included.
    SendResult Send(std::span<const std::uint8_t> request, const Written& written = {}) override;
    // The answer frame of the request sent last. An error message or a NAK
    // ends as NoAnswer, an answer that is no whole frame as Incomplete, a
    // whole frame for another command as OtherCommand; FailureMessage names
    // each. The message with its header comes along in `message`.
    ReceiveResult Receive(std::span<std::uint8_t> answer, int timeoutMs) override;
    bool Gone() const override { return gone_; }
    void Abort(bool on) override { session_.SetAbort(on); }
    // The next Send closes the session and opens a new one (a new connection).
    void Renew() override { renew_ = true; }
    void SetSessionObserver(SessionMessageObserver* observer) override {
        session_.SetObserver(observer);
    }
    std::optional<TransportMessage> FailureMessage() const override;
    std::string LastError() const override;

    HartIpFailure LastFailure() const;
    const HartIpClientOptions& Options() const { return options_; }
    // The endpoint of the last Open that parsed (not while Open runs).
    std::optional<HartIpEndpoint> Endpoint() const;
    // The inactivity close timer the server granted for the current session.
    std::uint32_t SessionTimerMs() const { return session_.GrantedTimerMs(); }
    // Messages dropped because they answered no waiting request.
    std::uint64_t Dropped() const { return session_.Dropped(); }
    std::uint64_t KeepAlivesSent() const { return session_.KeepAlivesSent(); }
    // Sessions opened since construction (a reopen after an idle close counts).
    std::uint64_t SessionsOpened() const { return session_.SessionsOpened(); }

private:
    using Wait = HartIpSession::Wait;
    using Awaited = HartIpSession::Awaited;

    // The request whose answer the next Receive takes.
    struct Awaiting {
        std::vector<std::uint8_t> pdu;
        std::uint8_t command = 0;
    };

    HartIpFailure Failure(HartIpFailureKind kind, std::string detail = {}) const {
        return session_.Failure(kind, std::move(detail));
    }
    void Fail(HartIpFailure failure) { session_.Fail(std::move(failure)); }
    void Trace(const std::string& line) { session_.Trace(line); }
    // The exchange is over: the keeper may use the connection again.
    void EndExchange();

    void StartKeeper();
    void StopKeeper();
    void KeeperLoop();

    const HartIpClientOptions options_;
    NullTraceSink silent_;
    SteadyClock steady_;
    Clock& clock_;
    HartIpSession session_;
    std::string name_;

    std::mutex io_;  // one user of the connection at a time: the worker or the keeper
    std::optional<Awaiting> awaiting_;
    std::vector<std::uint8_t> answerMessage_;

    std::atomic<bool> open_{false};
    std::atomic<bool> gone_{false};
    std::atomic<bool> renew_{false};

    std::thread keeper_;
    std::mutex keeperMutex_;
    std::condition_variable keeperWake_;
    bool stopKeeper_ = false;
};

}  // namespace qt40
