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
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/TraceSink.h"
#include "transport/FrameTransport.h"
#include "transport/HartIpEndpoint.h"
#include "transport/HartIpFailure.h"
#include "transport/HartIpReader.h"
#include "transport/HartIpReply.h"
#include "transport/Socket.h"

namespace qt40 {

struct HartIpClientOptions {
    int answerTimeoutMs = 3000;                // for each answer, the session initiate's too
    int connectTimeoutMs = 5000;               // the name lookup and the TCP connection
    std::uint32_t inactivityTimerMs = 60000;   // proposed to the server
    bool keepAlive = true;                     // off only to let a server's timer run out in tests
    int closeTimeoutMs = 500;                  // for the answer to the session close

    friend bool operator==(const HartIpClientOptions&, const HartIpClientOptions&) = default;
};

// The longest wait for an answer while polling addresses are searched. A
// gateway reaches a 1200 bit/s loop in about 0.8 s for command 0 (request,
// the device's turnaround, an answer with up to 20 preambles), with time for
// one retry of its own on the loop: 16 silent addresses then cost 24 s, where
// the 3 s answer time-out would take 48 s.
inline constexpr int kHartIpSearchAnswerTimeoutMs = 1500;

class HartIpClient final : public FrameTransport {
public:
    explicit HartIpClient(HartIpClientOptions options = {}, TraceSink* trace = nullptr);
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
    void Abort(bool on) override { abort_ = on; }
    // The next Send closes the session and opens a new one (a new connection).
    void Renew() override { renew_ = true; }
    void SetSessionObserver(SessionMessageObserver* observer) override { observer_ = observer; }
    std::optional<TransportMessage> FailureMessage() const override;
    std::string LastError() const override;

    HartIpFailure LastFailure() const;
    const HartIpClientOptions& Options() const { return options_; }
    // The endpoint of the last Open that parsed (not while Open runs).
    std::optional<HartIpEndpoint> Endpoint() const;
    // The inactivity close timer the server granted for the current session.
    std::uint32_t SessionTimerMs() const { return grantedTimerMs_; }
    // Messages dropped because they answered no waiting request.
    std::uint64_t Dropped() const { return dropped_; }
    std::uint64_t KeepAlivesSent() const { return keepAlives_; }
    // Sessions opened since construction (a reopen after an idle close counts).
    std::uint64_t SessionsOpened() const { return sessions_; }

private:
    using SteadyTime = std::chrono::steady_clock::time_point;

    enum class Wait { Reply, TimedOut, Lost, BadStream, Aborted };
    // The request whose answer the next Receive takes; the keeper leaves the
    // connection alone meanwhile, so that it never takes that answer away.
    struct Awaiting {
        HartIpHeader header;
        std::vector<std::uint8_t> pdu;
        std::uint8_t command = 0;
    };
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

    // All below with io_ held.
    bool StartSession();
    // UDP: `udpServer` is where the initiate goes; it becomes the port the server answered from.
    bool Initiate(SocketAddress* udpServer, int answerTimeoutMs);
    // UDP, after a request went unanswered: the session initiate once more on
    // the same socket, as a server that forgot the session (a restart, its
    // timer) stays silent to everything else. A server that still holds it
    // says so (status 16), and it goes on. False with `why` when the gateway
    // does not answer it either, or refuses.
    bool Reinitiate(HartIpFailure& why);
    void EndSession(bool closeWithServer);
    std::uint16_t NextSequence();
    bool SendMessage(HartIpHeader header, std::span<const std::uint8_t> body,
                     const SocketAddress* to = nullptr);
    // The awaited request as a token-passing message with the next sequence number.
    bool SendRequest(Awaiting& request, const Written& written);
    // The next whole message, until `deadline`; with `udpServer`, only from its
    // host, and `udpServer` takes the port it came from.
    Awaited ReadMessage(SteadyTime deadline, SocketAddress* udpServer);
    // Messages until the answer to `sent` (or its refusal, or the session's end).
    Awaited AwaitReply(const HartIpHeader& sent, SteadyTime deadline,
                       SocketAddress* udpServer = nullptr);
    // Takes in what arrived while nobody waited, for a few milliseconds at
    // most: dropped, the keep-alive's answer, or the session's end.
    void DrainIdle();
    // True when `message` answers the keep-alive in flight (which it settles).
    bool TakeKeepAliveAnswer(const HartIpReceived& message);
    void KeepSession();
    void Fail(HartIpFailure failure);
    void Drop(const HartIpReceived& message, const char* why);
    // A message outside the exchanges, to the observer.
    void Tell(std::span<const std::uint8_t> message, bool sent);
    void Tell(const HartIpReceived& message);
    void Trace(const std::string& line);
    HartIpFailure Failure(HartIpFailureKind kind, std::string detail = {}) const;
    HartIpFailure LostFailure(const Awaited& awaited) const;

    void StartKeeper();
    void StopKeeper();
    void KeeperLoop();

    const HartIpClientOptions options_;
    NullTraceSink silent_;
    TraceSink& trace_;
    std::string name_;

    std::mutex io_;  // one user of the connection at a time: the worker or the keeper
    Socket socket_;
    HartIpStreamReader reader_;
    std::optional<HartIpEndpoint> endpoint_;
    bool sessionOpen_ = false;
    std::uint16_t sequence_ = 0;
    SteadyTime lastSent_{};
    std::optional<Awaiting> awaiting_;
    // The keep-alive sent and not yet answered; its answer is taken by
    // whoever reads next, so that the keeper never holds the connection
    // while it waits.
    std::optional<HartIpHeader> keepAlive_;
    SteadyTime keepAliveDeadline_{};
    bool reinitiate_ = false;   // UDP: a request went unanswered
    int sessionsThisOpen_ = 0;  // a first session never answered may be a version 2 server
    std::vector<std::uint8_t> requestMessage_;
    std::vector<std::uint8_t> answerMessage_;
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(2048);

    mutable std::mutex failureMutex_;
    HartIpFailure failure_;

    std::atomic<SessionMessageObserver*> observer_{nullptr};
    std::atomic<bool> open_{false};
    std::atomic<bool> gone_{false};
    std::atomic<bool> abort_{false};
    std::atomic<bool> renew_{false};
    std::atomic<std::uint32_t> grantedTimerMs_{0};
    std::atomic<std::uint64_t> dropped_{0};
    std::atomic<std::uint64_t> keepAlives_{0};
    std::atomic<std::uint64_t> sessions_{0};

    std::thread keeper_;
    std::mutex keeperMutex_;
    std::condition_variable keeperWake_;
    bool stopKeeper_ = false;
};

}  // namespace qt40
