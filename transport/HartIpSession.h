#pragma once
// One HART-IP session with a server, as its primary host: the connection, the
// session initiate and close, the sequence numbers, the keep-alive at half the
// granted timer while idle, and a session the server ended or forgot opened
// again. Every deadline and timer runs on the given clock.
//
// Not thread-safe: its owner lets one caller in at a time (the worker's
// exchange or the keeper's turn). The counters and the failure may be read
// from any thread.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "base/TraceSink.h"
#include "transport/FrameTransport.h"
#include "transport/HartIpEndpoint.h"
#include "transport/HartIpFailure.h"
#include "transport/HartIpReader.h"
#include "transport/HartIpReply.h"
#include "transport/SessionMessageObserver.h"
#include "transport/Socket.h"

namespace qt40 {

struct HartIpClientOptions {
    int answerTimeoutMs = 3000;               // for each answer, the session initiate's too
    int connectTimeoutMs = 5000;              // the name lookup and the TCP connection
    std::uint32_t inactivityTimerMs = 60000;  // proposed to the server
    bool keepAlive = true;                    // off only to let a server's timer run out in tests
    int closeTimeoutMs = 500;                 // for the answer to the session close

    friend bool operator==(const HartIpClientOptions&, const HartIpClientOptions&) = default;
};

class HartIpSession {
public:
    enum class Wait { Reply, TimedOut, Lost, BadStream, Aborted };
    struct Awaited {
        Wait wait = Wait::TimedOut;
        HartIpReply reply;
        HartIpReceived message;
        SocketFault fault = SocketFault::None;
        std::string detail;
        // BadStream: a TLS alert came (a server of secured HART-IP only), or
        // a message in another version than ours.
        bool tlsAlert = false;
        int otherVersion = 0;
    };

    HartIpSession(const HartIpClientOptions& options, Clock& clock, TraceSink& trace);
    HartIpSession(const HartIpSession&) = delete;
    HartIpSession& operator=(const HartIpSession&) = delete;

    // Forgets the last failure and the sessions of the last endpoint; `name`
    // stands for the endpoint in failures until one is set.
    void Reset(const std::string& name);
    void SetEndpoint(std::optional<HartIpEndpoint> endpoint) { endpoint_ = std::move(endpoint); }
    const std::optional<HartIpEndpoint>& Endpoint() const { return endpoint_; }
    bool Udp() const { return endpoint_ && endpoint_->protocol == HartIpProtocol::Udp; }

    // Connects and initiates a session (after ending any without a word).
    bool Start();
    // UDP, after a request went unanswered: the session initiate once more on
    // the same socket, as a server that forgot the session (a restart, its
    // timer) stays silent to everything else. A server that still holds it
    // says so (status 16), and it goes on. False with `why` when the gateway
    // does not answer it either, or refuses.
    bool Reinitiate(HartIpFailure& why);
    void End(bool closeWithServer);
    bool IsOpen() const { return open_; }
    // UDP: a request went unanswered, so the next exchange starts with Reinitiate.
    bool ReinitiateDue() const { return reinitiate_; }
    void SetReinitiateDue(bool due) { reinitiate_ = due; }

    // Sends `pdu` as a token-passing request with the next sequence number;
    // its answer is then the exchange's (see AwaitReply), until ClearExchange.
    bool SendRequest(std::span<const std::uint8_t> pdu, const FrameTransport::Written& written);
    const std::optional<HartIpHeader>& Exchange() const { return exchange_; }
    void ClearExchange() { exchange_.reset(); }
    // Messages until the answer to `sent` (or its refusal, or the session's
    // end), until `deadline` on the clock; with `udpServer`, only from its
    // host, and `udpServer` takes the port it came from. With `quietMs`, a
    // socket quiet that long in real time ends the wait as well.
    Awaited AwaitReply(const HartIpHeader& sent, std::int64_t deadline,
                       SocketAddress* udpServer = nullptr, int quietMs = -1);
    // Takes in what arrived while nobody waited, for a few milliseconds at
    // most: dropped, the keep-alive's answer, or the session's end.
    void DrainIdle();
    // The keeper's turn while no exchange is under way: takes in what came
    // and sends a keep-alive once half the granted timer has passed without a
    // message sent.
    void Keep();

    std::int64_t After(int ms) const;
    SocketFault LastSocketFault() const { return socket_.LastFault(); }
    std::string LastSocketError() const { return socket_.LastError(); }

    void SetAbort(bool on) { abort_ = on; }
    bool Aborted() const { return abort_; }
    void SetObserver(SessionMessageObserver* observer) { observer_ = observer; }
    TransportKind Kind() const {
        return Udp() ? TransportKind::HartIpUdp : TransportKind::HartIpTcp;
    }
    // A message outside the exchanges, to the observer.
    void Tell(std::span<const std::uint8_t> message, bool sent);
    void Trace(const std::string& line);

    HartIpFailure Failure(HartIpFailureKind kind, std::string detail = {}) const;
    HartIpFailure LostFailure(const Awaited& awaited) const;
    void Fail(HartIpFailure failure);
    HartIpFailure LastFailure() const;

    std::uint32_t GrantedTimerMs() const { return grantedTimerMs_; }
    std::uint64_t Dropped() const { return dropped_; }
    std::uint64_t KeepAlivesSent() const { return keepAlives_; }
    std::uint64_t SessionsOpened() const { return sessions_; }

private:
    // UDP: `udpServer` is where the initiate goes; it becomes the port the server answered from.
    bool Initiate(SocketAddress* udpServer, int answerTimeoutMs);
    std::uint16_t NextSequence();
    bool SendMessage(HartIpHeader header, std::span<const std::uint8_t> body,
                     const SocketAddress* to = nullptr);
    Awaited ReadMessage(std::int64_t deadline, SocketAddress* udpServer, int quietMs);
    // True when `message` answers the keep-alive in flight (which it settles).
    bool TakeKeepAliveAnswer(const HartIpReceived& message);
    void Drop(const HartIpReceived& message, const char* why);
    void Tell(const HartIpReceived& message);
    int MsLeft(std::int64_t deadline) const;

    const HartIpClientOptions& options_;
    Clock& clock_;
    TraceSink& trace_;
    std::string name_;

    Socket socket_;
    HartIpStreamReader reader_;
    std::optional<HartIpEndpoint> endpoint_;
    bool open_ = false;
    std::uint16_t sequence_ = 0;
    std::int64_t lastSent_ = 0;
    // The request whose answer the next Receive takes; the keeper leaves the
    // connection alone meanwhile, so that it never takes that answer away.
    std::optional<HartIpHeader> exchange_;
    // The keep-alive sent and not yet answered; its answer is taken by
    // whoever reads next, so that the keeper never holds the connection
    // while it waits.
    std::optional<HartIpHeader> keepAlive_;
    std::int64_t keepAliveDeadline_ = 0;
    bool reinitiate_ = false;   // UDP: a request went unanswered
    int sessionsThisOpen_ = 0;  // a first session never answered may be a version 2 server
    std::vector<std::uint8_t> requestMessage_;
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(2048);

    mutable std::mutex failureMutex_;
    HartIpFailure failure_;

    std::atomic<SessionMessageObserver*> observer_{nullptr};
    std::atomic<bool> abort_{false};
    std::atomic<std::uint32_t> grantedTimerMs_{0};
    std::atomic<std::uint64_t> dropped_{0};
    std::atomic<std::uint64_t> keepAlives_{0};
    std::atomic<std::uint64_t> sessions_{0};
};

}  // namespace qt40
