#pragma once
// The simulated transmitter behind a HART-IP server, as a gateway would put a
// loop on the network: TCP and UDP on the same port, several clients, each
// with its session and inactivity close timer. A token-passing request goes to
// the responder (a request frame in, the answer frame or silence out), and its
// answer leaves after the latency a gateway needs to reach its loop.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "base/Clock.h"
#include "sim/SimDevice.h"
#include "sim/SimResponder.h"
#include "transport/HartIpEndpoint.h"
#include "transport/HartIpReader.h"
#include "transport/Socket.h"

namespace qt40::sim {

// What the gateway asks of its loop: a request frame from its delimiter to
// the answer frame from its delimiter, or nothing when the loop stays silent.
using GatewayResponder =
    std::function<std::optional<std::vector<std::uint8_t>>(std::span<const std::uint8_t> request)>;

// The gateway in front of a loop (one device, or several on a multidrop loop):
// it puts preambles in front of the request, as on the loop, and takes noise
// and preambles off the answer. `observer` sees every answer as the loop gave it.
GatewayResponder LoopResponder(SimResponder loop,
                               std::function<void(const SimReply&)> observer = {});
GatewayResponder DeviceResponder(SimDevice& device,
                                 std::function<void(const SimReply&)> observer = {});

struct SimHartIpOptions {
    std::string host = "127.0.0.1";
    std::uint16_t port = kHartIpPort;  // 0: any free port (the same for TCP and UDP)
    int latencyMs = 0;                 // from a token-passing request to its answer
    int maxSessions = 4;               // open at once, TCP and UDP together
    // A longer timer asked for is granted as this, with status 8.
    std::uint32_t maxInactivityTimerMs = 600000;
    // Every session initiate is refused with this status (a server that is full,
    // or does not speak our version), for tests of the client.
    std::optional<std::uint8_t> refuseSessions;

    // Strictness of real gateways, each a switch (see ApplyGatewaySwitch).
    bool silentWithoutSession = false;  // a request without a session gets no answer at all
    bool ignoreKeepAlives = false;      // keep-alives are taken (they count) but never answered
    int publishPerSecond = 0;           // publish messages to every session, unasked
    std::optional<std::uint8_t> answerStatus;  // header status of every token-passing answer
    bool splitAndMerge = false;  // TCP: each answer in two writes, merged with a publish message
    enum class Version2Only { Off, Alert, Silent };
    // A server of secured HART-IP only: version 1 gets a TLS alert (DTLS over
    // UDP; over TCP the connection closes after it) or nothing.
    Version2Only version2Only = Version2Only::Off;
};

// Parses one switch of `sim --hartip --gateway`: "silent-without-session",
// "no-keepalive", "publish:RATE" (messages a second), "status:N",
// "split-merge", "v2-only" or "v2-only:silent". Returns an error text, or nothing.
std::optional<std::string> ApplyGatewaySwitch(const std::string& text, SimHartIpOptions& options);

class SimHartIpServer {
public:
    // The inactivity timers, the latency and the publish pacing run on
    // `clock` (a steady one when null); the sockets are watched in real time.
    explicit SimHartIpServer(GatewayResponder responder, SimHartIpOptions options = {},
                             Clock* clock = nullptr);
    ~SimHartIpServer();
    SimHartIpServer(const SimHartIpServer&) = delete;
    SimHartIpServer& operator=(const SimHartIpServer&) = delete;

    // Listens on TCP and binds UDP, same port. False with LastError() when the
    // host does not resolve or the port is taken.
    bool Start();
    // Closes every connection without a word and stops. Safe to call twice.
    void Stop();
    bool Running() const { return running_; }

    std::uint16_t Port() const { return port_; }
    HartIpEndpoint Endpoint(HartIpProtocol protocol) const;
    const std::string& LastError() const { return lastError_; }

    // Runs `f` under the lock the server takes around the responder, for a
    // look at the device behind it.
    template <class F>
    decltype(auto) Locked(F&& f) {
        std::lock_guard lock(responderMutex_);
        return f();
    }

    void SetLatency(int ms) { latencyMs_ = ms; }
    // Drops every TCP connection and forgets every UDP session at once, without
    // a word, as a gateway that restarts (the next loop pass).
    void DropConnections() { dropAll_ = true; }

    std::uint64_t Transactions() const { return transactions_; }  // token-passing requests
    std::uint64_t SessionsOpened() const { return sessionsOpened_; }
    std::uint64_t SessionsExpired() const { return sessionsExpired_; }  // by the inactivity timer
    std::uint64_t KeepAlives() const { return keepAlives_; }
    std::uint64_t Published() const { return published_; }  // publish messages sent
    std::size_t SessionsOpen() const { return sessionsOpen_; }

private:
    struct Client;
    struct Pending {
        std::uint64_t client = 0;
        std::vector<std::uint8_t> message;
    };

    void Serve();
    void AcceptAll();
    void ReadUdp();
    void ReadStream(Client& client);
    void Handle(Client& client, const HartIpReceived& message);
    void Reply(Client& client, const HartIpHeader& request, std::uint8_t status,
               std::span<const std::uint8_t> body,
               HartIpMessageType type = HartIpMessageType::Response);
    // `whole`: never cut, not even in split-and-merge mode (the publish flood).
    void SendTo(Client& client, const std::vector<std::uint8_t>& message, bool whole = false);
    // The timers, at `now` on the clock; true when they sent anything.
    bool SendDue(std::int64_t now);
    bool ExpireSessions(std::int64_t now);
    bool Publish(std::int64_t now);
    void Remove(std::uint64_t id);
    Client* Find(std::uint64_t id);
    Client* FindUdp(const SocketAddress& peer);
    void CountSessions();
    // How long the sockets may be watched before a timer falls due.
    int WaitMs(std::int64_t now) const;

    GatewayResponder responder_;
    SimHartIpOptions options_;
    SteadyClock steady_;
    Clock& clock_;
    std::mutex responderMutex_;
    Socket listener_;
    Socket udp_;
    std::vector<std::unique_ptr<Client>> clients_;
    std::multimap<std::int64_t, Pending> pending_;  // by when they are due
    std::uint64_t nextClient_ = 1;
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(4096);
    std::uint16_t port_ = 0;
    std::string lastError_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stop_{false};
    std::atomic<bool> dropAll_{false};
    std::atomic<int> latencyMs_{0};
    std::atomic<std::uint64_t> transactions_{0};
    std::atomic<std::uint64_t> sessionsOpened_{0};
    std::atomic<std::uint64_t> sessionsExpired_{0};
    std::atomic<std::uint64_t> keepAlives_{0};
    std::atomic<std::size_t> sessionsOpen_{0};
    std::atomic<std::uint64_t> published_{0};
    std::optional<std::int64_t> nextPublishUs_;  // on the clock, in microseconds
};

}  // namespace qt40::sim
