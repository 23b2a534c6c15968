#include "sim/SimHartIpServer.h"

#include <algorithm>

#include "hart/HartFrame.h"

namespace qt40::sim {

namespace {

// The gateway's side of the loop: five preambles in front, as a master sends.
constexpr int kLoopPreambles = 5;

// What a TLS server sends to bytes that are no TLS record: a fatal alert
// (protocol version), then it closes.
constexpr std::uint8_t kTlsAlert[] = {0x15, 0x03, 0x03, 0x00, 0x02, 0x02, 0x46};
// The same in a DTLS record (epoch and sequence number zero).
constexpr std::uint8_t kDtlsAlert[] = {0x15, 0xFE, 0xFD, 0,    0,    0,    0,   0,
                                       0,    0,    0,    0x00, 0x02, 0x02, 0x46};

// A publish message as a gateway sends them for a device in burst mode: a
// command 3 burst frame.
std::vector<std::uint8_t> PublishMessage() {
    const std::uint8_t address[] = {0xA6, 0x4E, 0x00, 0x00, 0x01};
    const std::uint8_t status[] = {0x00, 0x00};
    const std::vector<std::uint8_t> frame =
        HartFrame::Make(FrameKind::Burst, address, 3, status).value().Bytes();
    HartIpHeader h;
    h.type = HartIpMessageType::Publish;
    h.id = HartIpMessageId::TokenPassingPdu;
    return HartIpMessage(h, frame);
}

std::optional<int> Number(const std::string& text, int low, int high) {
    if (text.empty() || text.size() > 6 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const int n = std::stoi(text);
    if (n < low || n > high) return std::nullopt;
    return n;
}

}  // namespace

struct SimHartIpServer::Client {
    std::uint64_t id = 0;
    bool tcp = true;
    Socket socket;  // TCP only
    HartIpStreamReader reader;
    SocketAddress peer;
    bool session = false;
    std::uint32_t timerMs = 0;
    std::int64_t lastHeard = 0;  // on the server's clock
    bool closing = false;        // TCP: close once the answers written so far are out
};

GatewayResponder LoopResponder(SimResponder loop, std::function<void(const SimReply&)> observer) {
    return [loop = std::move(loop), observer = std::move(observer)](
               std::span<const std::uint8_t> request) -> std::optional<std::vector<std::uint8_t>> {
        std::vector<std::uint8_t> onLoop(kLoopPreambles + request.size(), 0xFF);
        std::copy(request.begin(), request.end(), onLoop.begin() + kLoopPreambles);
        const std::optional<SimReply> reply = loop(onLoop);
        if (!reply) return std::nullopt;
        if (observer) observer(*reply);
        // Noise before the preambles and the preambles stay on the loop.
        const auto& bytes = reply->bytes;
        auto start = std::find(bytes.begin(), bytes.end(), std::uint8_t{0xFF});
        start = std::find_if(start, bytes.end(), [](std::uint8_t b) { return b != 0xFF; });
        if (start == bytes.end()) return std::nullopt;
        return std::vector<std::uint8_t>(start, bytes.end());
    };
}

GatewayResponder DeviceResponder(SimDevice& device, std::function<void(const SimReply&)> observer) {
    return LoopResponder(
        [&device](std::span<const std::uint8_t> request) { return device.Handle(request); },
        std::move(observer));
}

std::optional<std::string> ApplyGatewaySwitch(const std::string& text, SimHartIpOptions& options) {
    const auto colon = text.find(':');
    const std::string name = text.substr(0, colon);
    const std::string arg = colon == std::string::npos ? "" : text.substr(colon + 1);
    const bool hasArg = colon != std::string::npos;
    if (name == "silent-without-session" && !hasArg) {
        options.silentWithoutSession = true;
    } else if (name == "no-keepalive" && !hasArg) {
        options.ignoreKeepAlives = true;
    } else if (name == "split-merge" && !hasArg) {
        options.splitAndMerge = true;
    } else if (name == "publish") {
        const auto rate = Number(arg, 1, 100000);
        if (!rate)
            return "gateway switch \"" + text + "\": expected publish:RATE, 1 to 100000 a second";
        options.publishPerSecond = *rate;
    } else if (name == "status") {
        const auto status = Number(arg, 0, 255);
        if (!status) return "gateway switch \"" + text + "\": expected status:N, 0 to 255";
        options.answerStatus = static_cast<std::uint8_t>(*status);
    } else if (name == "v2-only" && (!hasArg || arg == "alert" || arg == "silent")) {
        options.version2Only = arg == "silent" ? SimHartIpOptions::Version2Only::Silent
                                               : SimHartIpOptions::Version2Only::Alert;
    } else {
        return "unknown gateway switch \"" + text +
               "\" (silent-without-session, no-keepalive, publish:RATE, status:N, split-merge, "
               "v2-only[:alert|silent])";
    }
    return std::nullopt;
}

SimHartIpServer::SimHartIpServer(GatewayResponder responder, SimHartIpOptions options, Clock* clock)
    : responder_(std::move(responder)),
      options_(std::move(options)),
      clock_(clock ? *clock : steady_),
      latencyMs_(options_.latencyMs) {}

SimHartIpServer::~SimHartIpServer() {
    Stop();
}

HartIpEndpoint SimHartIpServer::Endpoint(HartIpProtocol protocol) const {
    return HartIpEndpoint{protocol, options_.host, port_};
}

bool SimHartIpServer::Start() {
    if (running_) return true;
    SocketFault fault = SocketFault::None;
    std::string text;
    const auto addresses = Socket::Resolve(options_.host, options_.port, SocketType::Stream, 5000,
                                           nullptr, fault, text);
    if (addresses.empty()) {
        lastError_ = text;
        return false;
    }
    // With any free port, the one TCP gets may be taken for UDP: try a few.
    const int attempts = options_.port == 0 ? 20 : 1;
    for (int i = 0; i < attempts; ++i) {
        if (!listener_.Listen(addresses.front(), SocketType::Stream)) {
            lastError_ = listener_.LastError();
            return false;
        }
        port_ = listener_.LocalAddress().Port();
        if (udp_.Listen(addresses.front().WithPort(port_), SocketType::Datagram)) break;
        lastError_ = udp_.LastError();
        listener_.Close();
    }
    if (!udp_.IsOpen()) return false;
    stop_ = false;
    running_ = true;
    thread_ = std::thread([this] { Serve(); });
    return true;
}

void SimHartIpServer::Stop() {
    if (thread_.joinable()) {
        stop_ = true;
        thread_.join();
    }
    running_ = false;
    clients_.clear();
    pending_.clear();
    listener_.Close();
    udp_.Close();
    sessionsOpen_ = 0;
}

// ---- the loop ---------------------------------------------------------------

int SimHartIpServer::WaitMs(std::int64_t now) const {
    int wait = kSocketSliceMs;
    if (options_.publishPerSecond > 0) wait = std::clamp(1000 / options_.publishPerSecond, 1, wait);
    if (!pending_.empty()) {
        const std::int64_t due = pending_.begin()->first - now;
        wait = static_cast<int>(std::clamp<std::int64_t>(due, 0, wait));
    }
    return wait;
}

void SimHartIpServer::Serve() {
    ClockPoller poller(clock_);
    while (!stop_) {
        if (dropAll_.exchange(false)) {
            clients_.clear();
            pending_.clear();
            CountSessions();
        }
        // Every timer decision of a pass on one reading of the clock.
        const std::int64_t now = poller.NowMs();
        bool acted = SendDue(now);
        acted |= Publish(now);
        acted |= ExpireSessions(now);

        std::vector<Socket*> sockets{&listener_, &udp_};
        std::vector<std::uint64_t> ids;
        for (const auto& c : clients_) {
            sockets.push_back(c->tcp ? &c->socket : nullptr);
            ids.push_back(c->id);
        }
        const std::vector<bool> ready =
            Socket::WaitReadable(sockets, clock_.RealWaitFor(WaitMs(now)).ms);
        if (std::find(ready.begin(), ready.end(), true) == ready.end()) {
            if (!acted) poller.Idle();
            continue;
        }
        // Ids, taken before anything is handled: accepting, a datagram or a
        // message may add or remove clients.
        std::vector<std::uint64_t> readable;
        for (std::size_t i = 2; i < ready.size(); ++i) {
            if (ready[i]) readable.push_back(ids[i - 2]);
        }
        if (ready[0]) AcceptAll();
        if (ready[1]) ReadUdp();
        for (std::uint64_t id : readable) {
            if (Client* c = Find(id)) ReadStream(*c);
        }
    }
}

bool SimHartIpServer::Publish(std::int64_t nowMs) {
    if (options_.publishPerSecond <= 0) return false;
    const std::int64_t now = nowMs * 1000;  // in microseconds
    if (!nextPublishUs_) nextPublishUs_ = now;
    const std::int64_t every = 1000000 / options_.publishPerSecond;
    const std::uint64_t before = published_;
    static const std::vector<std::uint8_t> message = PublishMessage();
    // As many as are due since the last pass, a bounded batch at a time.
    for (int n = 0; *nextPublishUs_ <= now && n < 1000; ++n) {
        *nextPublishUs_ += every;
        std::vector<std::uint64_t> ids;
        for (const auto& c : clients_) {
            if (c->session) ids.push_back(c->id);
        }
        for (std::uint64_t id : ids) {
            if (Client* c = Find(id)) {
                SendTo(*c, message, true);
                ++published_;
                if (c->closing) Remove(id);
            }
        }
    }
    // A server that fell behind does not catch up.
    if (*nextPublishUs_ < now) nextPublishUs_ = now;
    return published_ != before;
}

void SimHartIpServer::AcceptAll() {
    for (;;) {
        SocketAddress peer;
        Socket accepted = listener_.Accept(&peer);
        if (!accepted.IsOpen()) return;
        auto client = std::make_unique<Client>();
        client->id = nextClient_++;
        client->socket = std::move(accepted);
        client->peer = peer;
        client->lastHeard = clock_.NowMs();
        clients_.push_back(std::move(client));
    }
}

void SimHartIpServer::ReadUdp() {
    for (;;) {
        SocketAddress from;
        const Socket::Received got = udp_.Receive(buffer_, 0, nullptr, &from);
        if (got.fault == SocketFault::TimedOut) return;
        if (got.fault != SocketFault::None) continue;  // an ICMP report about a client gone
        const auto message =
            ParseHartIpDatagram(std::span<const std::uint8_t>(buffer_.data(), got.size));
        if (!message) continue;  // not one HART-IP message: ignored, as a server does
        Client* client = FindUdp(from);
        if (!client) {
            auto fresh = std::make_unique<Client>();
            fresh->id = nextClient_++;
            fresh->tcp = false;
            fresh->peer = from;
            fresh->lastHeard = clock_.NowMs();
            clients_.push_back(std::move(fresh));
            client = clients_.back().get();
        }
        const std::uint64_t id = client->id;
        Handle(*client, *message);
        // A UDP peer without a session is not kept.
        if (Client* c = Find(id); c && !c->session) Remove(id);
    }
}

void SimHartIpServer::ReadStream(Client& client) {
    const std::uint64_t id = client.id;
    const Socket::Received got = client.socket.Receive(buffer_, 0, nullptr);
    if (got.fault == SocketFault::TimedOut) return;
    if (got.fault != SocketFault::None ||
        !client.reader.Feed(std::span<const std::uint8_t>(buffer_.data(), got.size))) {
        // Gone, or not speaking HART-IP: the stream cannot be followed any more.
        Remove(id);
        return;
    }
    while (auto message = client.reader.Next()) {
        Handle(client, *message);
        Client* c = Find(id);
        if (!c) return;
        if (c->closing) {
            Remove(id);
            return;
        }
    }
}

// ---- one message ------------------------------------------------------------

void SimHartIpServer::Handle(Client& client, const HartIpReceived& message) {
    const HartIpHeader& h = message.header;
    if (h.type != HartIpMessageType::Request)
        return;  // answers and publish messages are not ours to take
    client.lastHeard = clock_.NowMs();
    if (options_.version2Only != SimHartIpOptions::Version2Only::Off) {
        // Plain version 1 is no TLS record: an alert and the end, or nothing.
        if (options_.version2Only == SimHartIpOptions::Version2Only::Alert) {
            if (client.tcp) {
                SendTo(client,
                       std::vector<std::uint8_t>(std::begin(kTlsAlert), std::end(kTlsAlert)));
                client.closing = true;
            } else {
                SendTo(client,
                       std::vector<std::uint8_t>(std::begin(kDtlsAlert), std::end(kDtlsAlert)));
            }
        }
        return;
    }
    if (h.version != kHartIpVersion) {
        if (h.id == HartIpMessageId::SessionInitiate) {
            Reply(client, h, kHartIpVersionNotSupported, {});
        } else {
            Reply(client, h, kHartIpVersionNotSupported, {}, HartIpMessageType::Nak);
        }
        return;
    }
    const std::uint8_t sessionClosed[] = {kHartIpErrorSessionClosed};
    switch (h.id) {
        case HartIpMessageId::SessionInitiate: {
            const auto body = DecodeHartIpSessionBody(message.body);
            std::uint8_t status = kHartIpSessionOk;
            if (options_.refuseSessions) {
                status = *options_.refuseSessions;
            } else if (!body) {
                status = kHartIpTooFewDataBytes;
            } else if (body->hostType != kHartIpPrimaryHost &&
                       body->hostType != kHartIpSecondaryHost) {
                status = kHartIpInvalidHostType;
            } else if (client.session) {
                status = kHartIpSessionExists;
            } else if (static_cast<int>(sessionsOpen_) >= options_.maxSessions) {
                status = kHartIpNoSessionAvailable;
            }
            if (status != kHartIpSessionOk) {
                Reply(client, h, status, {});
                return;
            }
            HartIpSessionBody granted = *body;
            if (granted.inactivityTimerMs > options_.maxInactivityTimerMs) {
                granted.inactivityTimerMs = options_.maxInactivityTimerMs;
                status = kHartIpTimerSetToNearest;
            }
            client.session = true;
            client.timerMs = granted.inactivityTimerMs;
            ++sessionsOpened_;
            CountSessions();
            Reply(client, h, status, EncodeHartIpSessionBody(granted));
            return;
        }
        case HartIpMessageId::SessionClose:
            Reply(client, h, kHartIpSessionOk, {});
            client.session = false;
            client.closing = client.tcp;
            CountSessions();
            return;
        case HartIpMessageId::KeepAlive:
            if (!client.session) {
                if (!options_.silentWithoutSession)
                    Reply(client, h, 0, sessionClosed, HartIpMessageType::Error);
                return;
            }
            ++keepAlives_;
            if (!options_.ignoreKeepAlives) Reply(client, h, kHartIpSessionOk, {});
            return;
        case HartIpMessageId::TokenPassingPdu: {
            if (!client.session) {
                // A real gateway says nothing to a host it holds no session for.
                if (!options_.silentWithoutSession)
                    Reply(client, h, 0, sessionClosed, HartIpMessageType::Error);
                return;
            }
            ++transactions_;
            std::optional<std::vector<std::uint8_t>> answer;
            {
                std::lock_guard lock(responderMutex_);
                answer = responder_(message.body);
            }
            if (!answer) return;  // the loop stayed silent
            HartIpHeader response = h;
            response.type = HartIpMessageType::Response;
            response.status = options_.answerStatus.value_or(0);
            pending_.emplace(clock_.NowMs() + latencyMs_.load(),
                             Pending{client.id, HartIpMessage(response, *answer)});
            return;
        }
    }
    Reply(client, h, 0, {}, HartIpMessageType::Nak);  // a message ID we do not serve
}

void SimHartIpServer::Reply(Client& client, const HartIpHeader& request, std::uint8_t status,
                            std::span<const std::uint8_t> body, HartIpMessageType type) {
    HartIpHeader h = request;
    h.version = kHartIpVersion;
    h.type = type;
    h.status = status;
    SendTo(client, HartIpMessage(h, body));
}

void SimHartIpServer::SendTo(Client& client, const std::vector<std::uint8_t>& message, bool whole) {
    if (!whole && client.tcp && options_.splitAndMerge && message.size() > 5) {
        // Cut inside the header, and the rest merged with a publish message:
        // a client must take messages by their byte count, not by the reads.
        static const std::vector<std::uint8_t> publish = PublishMessage();
        const std::span<const std::uint8_t> all(message);
        std::vector<std::uint8_t> rest(all.begin() + 5, all.end());
        rest.insert(rest.end(), publish.begin(), publish.end());
        if (!client.socket.Send(all.first(5), 1000, &stop_)) {
            client.closing = true;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (!client.socket.Send(rest, 1000, &stop_)) client.closing = true;
        ++published_;
        return;
    }
    if (client.tcp) {
        if (!client.socket.Send(message, 1000, &stop_)) client.closing = true;
    } else {
        udp_.SendTo(message, client.peer);
    }
}

bool SimHartIpServer::SendDue(std::int64_t now) {
    bool sent = false;
    while (!pending_.empty() && pending_.begin()->first <= now) {
        const Pending due = std::move(pending_.begin()->second);
        pending_.erase(pending_.begin());
        if (Client* c = Find(due.client); c && c->session) {
            SendTo(*c, due.message);
            sent = true;
            if (c->closing) Remove(c->id);
        }
    }
    return sent;
}

bool SimHartIpServer::ExpireSessions(std::int64_t now) {
    std::vector<std::uint64_t> expired;
    for (const auto& c : clients_) {
        if (c->session && now - c->lastHeard > static_cast<std::int64_t>(c->timerMs)) {
            expired.push_back(c->id);
        }
    }
    for (std::uint64_t id : expired) {
        Client* c = Find(id);
        // Told, then forgotten (a TCP connection is closed).
        HartIpHeader h;
        h.type = HartIpMessageType::Error;
        h.id = HartIpMessageId::SessionClose;
        const std::uint8_t closed[] = {kHartIpErrorSessionClosed};
        SendTo(*c, HartIpMessage(h, closed));
        ++sessionsExpired_;
        Remove(id);
    }
    return !expired.empty();
}

// ---- clients ----------------------------------------------------------------

SimHartIpServer::Client* SimHartIpServer::Find(std::uint64_t id) {
    for (const auto& c : clients_) {
        if (c->id == id) return c.get();
    }
    return nullptr;
}

SimHartIpServer::Client* SimHartIpServer::FindUdp(const SocketAddress& peer) {
    for (const auto& c : clients_) {
        if (!c->tcp && c->peer.SameAs(peer)) return c.get();
    }
    return nullptr;
}

void SimHartIpServer::Remove(std::uint64_t id) {
    clients_.erase(std::remove_if(clients_.begin(), clients_.end(),
                                  [id](const auto& c) { return c->id == id; }),
                   clients_.end());
    CountSessions();
}

void SimHartIpServer::CountSessions() {
    sessionsOpen_ = static_cast<std::size_t>(
        std::count_if(clients_.begin(), clients_.end(), [](const auto& c) { return c->session; }));
}

}  // namespace qt40::sim
