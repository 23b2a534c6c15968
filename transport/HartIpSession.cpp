#include "transport/HartIpSession.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace qt40 {
namespace {

std::string Describe(const HartIpHeader& h) {
    char text[96];
    std::snprintf(text, sizeof text, "type %u, id %u, status %u, sequence %u, %u bytes",
                  static_cast<unsigned>(h.type), static_cast<unsigned>(h.id),
                  static_cast<unsigned>(h.status), static_cast<unsigned>(h.sequence),
                  static_cast<unsigned>(h.byteCount));
    return text;
}

}  // namespace

HartIpSession::HartIpSession(const HartIpClientOptions& options, Clock& clock, TraceSink& trace)
    : options_(options), clock_(clock), trace_(trace) {}

std::int64_t HartIpSession::After(int ms) const {
    return clock_.NowMs() + std::max(ms, 0);
}

int HartIpSession::MsLeft(std::int64_t deadline) const {
    const std::int64_t left = deadline - clock_.NowMs();
    return static_cast<int>(std::clamp<std::int64_t>(left, 0, std::numeric_limits<int>::max()));
}

void HartIpSession::Reset(const std::string& name) {
    name_ = name;
    sessionsThisOpen_ = 0;
    std::lock_guard lock(failureMutex_);
    failure_ = {};
}

// ---- failures ---------------------------------------------------------------

HartIpFailure HartIpSession::Failure(HartIpFailureKind kind, std::string detail) const {
    HartIpFailure f;
    f.kind = kind;
    f.endpoint = endpoint_ ? endpoint_->Url() : name_;
    f.detail = std::move(detail);
    return f;
}

HartIpFailure HartIpSession::LostFailure(const Awaited& awaited) const {
    if (awaited.wait == Wait::Aborted) return Failure(HartIpFailureKind::Aborted);
    if (awaited.tlsAlert) return Failure(HartIpFailureKind::SecuredOnly);
    if (awaited.otherVersion != 0) {
        HartIpFailure f = Failure(HartIpFailureKind::OtherVersion);
        f.code = awaited.otherVersion;
        return f;
    }
    if (awaited.wait == Wait::BadStream)
        return Failure(HartIpFailureKind::BadAnswer, awaited.detail);
    if (awaited.fault == SocketFault::Refused)
        return Failure(HartIpFailureKind::Refused, awaited.detail);
    return Failure(HartIpFailureKind::ConnectionLost, awaited.detail);
}

void HartIpSession::Fail(HartIpFailure failure) {
    Trace("HART-IP: " + HartIpFailureText(failure));
    std::lock_guard lock(failureMutex_);
    failure_ = std::move(failure);
}

HartIpFailure HartIpSession::LastFailure() const {
    std::lock_guard lock(failureMutex_);
    return failure_;
}

void HartIpSession::Trace(const std::string& line) {
    trace_.Trace(line + "\n");
}

void HartIpSession::Tell(std::span<const std::uint8_t> message, bool sent) {
    if (SessionMessageObserver* observer = observer_)
        observer->SessionMessage(message, sent, Kind());
}

void HartIpSession::Tell(const HartIpReceived& message) {
    if (observer_) Tell(HartIpMessage(message.header, message.body), false);
}

void HartIpSession::Drop(const HartIpReceived& message, const char* why) {
    ++dropped_;
    Trace(std::string("HART-IP: dropped (") + why + "): " + Describe(message.header));
}

// ---- the session ------------------------------------------------------------

std::uint16_t HartIpSession::NextSequence() {
    return ++sequence_;
}

bool HartIpSession::Start() {
    End(false);
    const HartIpEndpoint& at = *endpoint_;
    const bool udp = at.protocol == HartIpProtocol::Udp;
    const SocketType type = udp ? SocketType::Datagram : SocketType::Stream;
    const std::int64_t deadline = After(options_.connectTimeoutMs);

    SocketFault fault = SocketFault::None;
    std::string text;
    const std::vector<SocketAddress> addresses =
        Socket::Resolve(at.host, at.port, type, options_.connectTimeoutMs, &abort_, fault, text);
    if (addresses.empty()) {
        if (fault == SocketFault::Aborted) {
            Fail(Failure(HartIpFailureKind::Aborted));
        } else {
            HartIpFailure f = Failure(HartIpFailureKind::HostNotFound, text);
            f.endpoint = at.host;
            Fail(f);
        }
        return false;
    }

    if (!udp) {
        // Each address in turn ("localhost" may be ::1 before 127.0.0.1).
        for (const SocketAddress& address : addresses) {
            if (socket_.Connect(address, SocketType::Stream, MsLeft(deadline), &abort_)) break;
            fault = socket_.LastFault();
            text = socket_.LastError();
            if (fault == SocketFault::Aborted || MsLeft(deadline) == 0) break;
        }
        if (!socket_.IsOpen()) {
            HartIpFailure f;
            switch (fault) {
                case SocketFault::Refused:
                    f = Failure(HartIpFailureKind::Refused, text);
                    break;
                case SocketFault::TimedOut:
                case SocketFault::Unreachable:
                    f = Failure(HartIpFailureKind::NoConnection, text);
                    f.timeoutMs = options_.connectTimeoutMs;
                    break;
                case SocketFault::Aborted:
                    f = Failure(HartIpFailureKind::Aborted);
                    break;
                default:
                    f = Failure(HartIpFailureKind::NetworkError, text);
                    break;
            }
            Fail(f);
            return false;
        }
        return Initiate(nullptr, options_.answerTimeoutMs);
    }

    // UDP: a server may answer the session initiate from a port of the
    // session's own, so the socket takes its peer from that answer. The
    // addresses share the answer time-out.
    const std::int64_t answerDeadline = After(options_.answerTimeoutMs);
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        if (!socket_.OpenDatagram(addresses[i])) {
            Fail(Failure(HartIpFailureKind::NetworkError, socket_.LastError()));
            return false;
        }
        const int share = MsLeft(answerDeadline) / static_cast<int>(addresses.size() - i);
        SocketAddress server = addresses[i];
        if (Initiate(&server, std::max(share, 1))) return true;
        if (abort_) return false;
    }
    return false;
}

bool HartIpSession::Initiate(SocketAddress* udpServer, int answerTimeoutMs) {
    HartIpHeader header;
    header.type = HartIpMessageType::Request;
    header.id = HartIpMessageId::SessionInitiate;
    header.sequence = NextSequence();
    const auto body = EncodeHartIpSessionBody({kHartIpPrimaryHost, options_.inactivityTimerMs});
    if (!SendMessage(header, body, udpServer)) {
        Fail(Failure(socket_.LastFault() == SocketFault::Refused ? HartIpFailureKind::Refused
                                                                 : HartIpFailureKind::NetworkError,
                     socket_.LastError()));
        socket_.Close();
        return false;
    }
    const Awaited awaited = AwaitReply(header, After(answerTimeoutMs), udpServer);
    auto refuse = [&](HartIpFailure f) {
        Fail(std::move(f));
        socket_.Close();
        reader_.Reset();
        return false;
    };
    switch (awaited.wait) {
        case Wait::TimedOut: {
            // Silence to the very first initiate: perhaps a server of the
            // secured version 2 only, which waits for a TLS handshake.
            HartIpFailure f =
                sessionsThisOpen_ == 0
                    ? Failure(HartIpFailureKind::SilentToV1)
                    : Failure(HartIpFailureKind::NoAnswer, "the session initiate was not answered");
            f.timeoutMs = answerTimeoutMs;
            return refuse(f);
        }
        case Wait::Aborted:
        case Wait::Lost:
        case Wait::BadStream:
            return refuse(LostFailure(awaited));
        case Wait::Reply:
            break;
    }
    const HartIpReply& reply = awaited.reply;
    if (reply.kind == HartIpReplyKind::Refusal || reply.kind == HartIpReplyKind::SessionClosed) {
        HartIpFailure f = Failure(HartIpFailureKind::ErrorMessage);
        f.code = reply.code;
        f.nak = reply.nak;
        return refuse(f);
    }
    if (reply.code != kHartIpSessionOk && reply.code != kHartIpTimerSetToNearest) {
        HartIpFailure f = Failure(HartIpFailureKind::SessionRefused);
        f.code = reply.code;
        return refuse(f);
    }
    std::uint32_t granted = options_.inactivityTimerMs;
    if (const auto echoed = DecodeHartIpSessionBody(awaited.message.body);
        echoed && echoed->inactivityTimerMs != 0) {
        granted = echoed->inactivityTimerMs;
    }
    if (udpServer && !socket_.SetPeer(*udpServer)) {
        return refuse(Failure(HartIpFailureKind::NetworkError, socket_.LastError()));
    }
    grantedTimerMs_ = granted;
    open_ = true;
    reinitiate_ = false;
    keepAlive_.reset();
    ++sessions_;
    ++sessionsThisOpen_;
    Trace("HART-IP: session with " + endpoint_->Url() + " (" + socket_.LocalAddress().Text() +
          "), inactivity close timer " + std::to_string(granted) + " ms");
    return true;
}

bool HartIpSession::Reinitiate(HartIpFailure& why) {
    reinitiate_ = false;
    HartIpHeader header;
    header.type = HartIpMessageType::Request;
    header.id = HartIpMessageId::SessionInitiate;
    header.sequence = NextSequence();
    const auto body = EncodeHartIpSessionBody({kHartIpPrimaryHost, options_.inactivityTimerMs});
    Trace("HART-IP: the last request went unanswered: the session initiate once more");
    if (!SendMessage(header, body)) {
        Awaited lost;
        lost.wait = socket_.LastFault() == SocketFault::Aborted ? Wait::Aborted : Wait::Lost;
        lost.fault = socket_.LastFault();
        lost.detail = socket_.LastError();
        why = LostFailure(lost);
        return false;
    }
    const Awaited awaited = AwaitReply(header, After(options_.answerTimeoutMs));
    switch (awaited.wait) {
        case Wait::TimedOut:
            why = Failure(HartIpFailureKind::NoAnswer, "the session initiate was not answered");
            why.timeoutMs = options_.answerTimeoutMs;
            return false;
        case Wait::Aborted:
        case Wait::Lost:
        case Wait::BadStream:
            why = LostFailure(awaited);
            return false;
        case Wait::Reply:
            break;
    }
    const std::uint8_t status = awaited.reply.code;
    if (awaited.reply.kind != HartIpReplyKind::Answer) {
        why = Failure(HartIpFailureKind::ErrorMessage);
        why.code = status;
        why.nak = awaited.reply.nak;
        return false;
    }
    if (status == kHartIpSessionExists) return true;  // it still holds ours
    if (status != kHartIpSessionOk && status != kHartIpTimerSetToNearest) {
        why = Failure(HartIpFailureKind::SessionRefused);
        why.code = status;
        return false;
    }
    if (const auto echoed = DecodeHartIpSessionBody(awaited.message.body);
        echoed && echoed->inactivityTimerMs != 0) {
        grantedTimerMs_ = echoed->inactivityTimerMs;
    }
    keepAlive_.reset();
    ++sessions_;
    ++sessionsThisOpen_;
    Trace("HART-IP: a new session with " + endpoint_->Url());
    return true;
}

void HartIpSession::End(bool closeWithServer) {
    if (open_ && closeWithServer && socket_.IsOpen()) {
        HartIpHeader header;
        header.type = HartIpMessageType::Request;
        header.id = HartIpMessageId::SessionClose;
        header.sequence = NextSequence();
        // The answer is waited for briefly, so that the server is not left to
        // find the end by its timer; nothing depends on it.
        if (SendMessage(header, {})) AwaitReply(header, After(options_.closeTimeoutMs));
        Trace("HART-IP: session closed");
    }
    open_ = false;
    reinitiate_ = false;
    keepAlive_.reset();
    socket_.Close();
    reader_.Reset();
}

// ---- messages ---------------------------------------------------------------

bool HartIpSession::SendMessage(HartIpHeader header, std::span<const std::uint8_t> body,
                                const SocketAddress* to) {
    const std::vector<std::uint8_t> message = HartIpMessage(header, body);
    const bool sent = to ? socket_.SendTo(message, *to)
                         : socket_.Send(message, options_.answerTimeoutMs, &abort_);
    if (sent) {
        lastSent_ = clock_.NowMs();
        Tell(message, true);
    }
    return sent;
}

HartIpSession::Awaited HartIpSession::ReadMessage(std::int64_t deadline, SocketAddress* udpServer,
                                                  int quietMs) {
    Awaited out;
    ClockPoller poller(clock_);
    const bool udp = endpoint_->protocol == HartIpProtocol::Udp;
    auto judgeVersion = [&](HartIpReceived message) {
        if (message.header.version != kHartIpVersion) {
            out.wait = Wait::BadStream;
            out.otherVersion = message.header.version;
            out.detail = "a message in HART-IP version " + std::to_string(message.header.version);
            return out;
        }
        out.wait = Wait::Reply;
        out.message = std::move(message);
        return out;
    };
    for (bool first = true;; first = false) {
        // A server that never stops sending must not hold a wait past its
        // deadline, nor keep a stopping worker: both are looked at before
        // every message taken.
        if (abort_) {
            out.wait = Wait::Aborted;
            out.fault = SocketFault::Aborted;
            return out;
        }
        const std::int64_t now = poller.NowMs();
        if (!first && now >= deadline) {
            out.wait = Wait::TimedOut;
            out.fault = SocketFault::TimedOut;
            return out;
        }
        if (!udp) {
            if (auto message = reader_.Next()) return judgeVersion(std::move(*message));
        }
        // The socket is watched in real time, the deadline kept by the clock
        // (a clock that tests move has the socket watched in short slices);
        // the idle drain's look ends with the socket quiet in real time.
        const int left = static_cast<int>(
            std::clamp<std::int64_t>(deadline - now, 0, std::numeric_limits<int>::max()));
        const Clock::RealWait watch = quietMs >= 0 ? Clock::RealWait{std::min(quietMs, left), true}
                                                   : clock_.RealWaitFor(left);
        SocketAddress from;
        const Socket::Received got = socket_.Receive(buffer_, watch.ms, &abort_, &from);
        if (got.fault == SocketFault::TimedOut && !watch.ends) {
            poller.Idle();
            continue;
        }
        if (got.fault != SocketFault::None) {
            out.fault = got.fault;
            out.detail = socket_.LastError();
            out.wait = got.fault == SocketFault::TimedOut  ? Wait::TimedOut
                       : got.fault == SocketFault::Aborted ? Wait::Aborted
                                                           : Wait::Lost;
            return out;
        }
        const std::span<const std::uint8_t> bytes(buffer_.data(), got.size);
        // A TLS alert record (content type 21, version 3.x; DTLS: 254.x): a
        // server of secured HART-IP only, refusing our plain bytes.
        const bool alert =
            bytes.size() >= 2 && bytes[0] == 0x15 && (bytes[1] == 0x03 || bytes[1] == 0xFE);
        if (alert && (udp || (reader_.Pending() == 0 && sessionsThisOpen_ == 0))) {
            out.wait = Wait::BadStream;
            out.tlsAlert = true;
            out.detail = "a TLS alert";
            return out;
        }
        if (!udp) {
            if (!reader_.Feed(bytes)) {
                out.wait = Wait::BadStream;
                out.detail = reader_.Fault() == HartIpReadFault::CountTooSmall
                                 ? "a message header with a byte count below 8"
                                 : "a message header with a byte count above " +
                                       std::to_string(kHartIpMaxMessageSize);
                return out;
            }
            continue;
        }
        if (udpServer && !from.SameHost(*udpServer)) {
            ++dropped_;
            Trace("HART-IP: dropped a datagram from " + from.Text());
            continue;
        }
        if (auto message = ParseHartIpDatagram(bytes)) {
            // The peer for the rest of the session: the port the server answered from.
            if (udpServer && message->header.version == kHartIpVersion) *udpServer = from;
            return judgeVersion(std::move(*message));
        }
        ++dropped_;
        Tell(bytes, false);
        Trace("HART-IP: dropped a datagram of " + std::to_string(got.size) +
              " bytes that is not one HART-IP message");
    }
}

HartIpSession::Awaited HartIpSession::AwaitReply(const HartIpHeader& sent, std::int64_t deadline,
                                                 SocketAddress* udpServer, int quietMs) {
    for (;;) {
        Awaited awaited = ReadMessage(deadline, udpServer, quietMs);
        if (awaited.wait != Wait::Reply) return awaited;
        awaited.reply = JudgeHartIpReply(sent, awaited.message);
        // What answers the exchange under way goes to the link with it.
        const bool exchanges = exchange_ && sent.id == HartIpMessageId::TokenPassingPdu &&
                               sent.sequence == exchange_->sequence;
        if (!exchanges || awaited.reply.kind == HartIpReplyKind::Drop) Tell(awaited.message);
        if (awaited.reply.kind != HartIpReplyKind::Drop) return awaited;
        if (!TakeKeepAliveAnswer(awaited.message))
            Drop(awaited.message, "not the answer waited for");
        // Dropped messages never stretch the wait.
        if (clock_.NowMs() >= deadline) {
            Awaited timedOut;
            timedOut.fault = SocketFault::TimedOut;
            return timedOut;
        }
    }
}

bool HartIpSession::TakeKeepAliveAnswer(const HartIpReceived& message) {
    if (!keepAlive_) return false;
    const HartIpReply reply = JudgeHartIpReply(*keepAlive_, message);
    if (reply.kind != HartIpReplyKind::Answer) return false;
    keepAlive_.reset();
    return true;
}

void HartIpSession::DrainIdle() {
    if (!open_) return;
    HartIpHeader none;
    none.sequence = static_cast<std::uint16_t>(sequence_ + 1);  // no answer can match it
    // Every request waits this out first, so it stays short: 4 ms on the
    // clock for a flood, and a socket quiet for 4 ms of real time ends it
    // whatever the clock.
    constexpr int kDrainMs = 4;
    const std::int64_t deadline = After(kDrainMs);
    for (;;) {
        const Awaited awaited = AwaitReply(none, deadline, nullptr, kDrainMs);
        switch (awaited.wait) {
            case Wait::TimedOut:
                return;
            case Wait::Aborted:
                return;
            case Wait::Lost:
            case Wait::BadStream:
                Trace("HART-IP: the connection ended while idle (" +
                      HartIpFailureText(LostFailure(awaited)) + ")");
                End(false);
                return;
            case Wait::Reply:
                if (awaited.reply.kind == HartIpReplyKind::SessionClosed) {
                    Trace("HART-IP: the server closed the session");
                    End(false);
                    return;
                }
                if (keepAlive_ && JudgeHartIpReply(*keepAlive_, awaited.message).kind ==
                                      HartIpReplyKind::Refusal) {
                    Trace("HART-IP: the session ended at the keep-alive");
                    End(false);
                    return;
                }
                Drop(awaited.message, "unasked");
                break;
        }
        if (clock_.NowMs() >= deadline) return;
    }
}

// ---- exchanges and the keep-alive -------------------------------------------

bool HartIpSession::SendRequest(std::span<const std::uint8_t> pdu,
                                const FrameTransport::Written& written) {
    HartIpHeader header;
    header.type = HartIpMessageType::Request;
    header.id = HartIpMessageId::TokenPassingPdu;
    header.sequence = NextSequence();
    requestMessage_ = HartIpMessage(header, pdu);
    header.byteCount = static_cast<std::uint16_t>(requestMessage_.size());
    if (!socket_.Send(requestMessage_, options_.answerTimeoutMs, &abort_)) return false;
    exchange_ = header;
    lastSent_ = clock_.NowMs();
    if (written) written(requestMessage_);
    return true;
}

void HartIpSession::Keep() {
    if (!open_ || exchange_) return;
    DrainIdle();
    if (!open_ || !options_.keepAlive) return;
    const std::int64_t timer = grantedTimerMs_.load();
    if (keepAlive_) {
        if (clock_.NowMs() < keepAliveDeadline_) return;
        // Perhaps lost on the way: another before the server's timer runs out.
        Trace("HART-IP: no answer to the keep-alive");
        keepAlive_.reset();
        lastSent_ = clock_.NowMs() - timer / 2 + std::min<std::int64_t>(timer / 8, 1000);
        return;
    }
    if (clock_.NowMs() - lastSent_ < timer / 2) return;

    HartIpHeader header;
    header.type = HartIpMessageType::Request;
    header.id = HartIpMessageId::KeepAlive;
    header.sequence = NextSequence();
    ++keepAlives_;
    if (!SendMessage(header, {})) {
        Trace("HART-IP: the keep-alive could not be sent: " + socket_.LastError());
        End(false);
        return;
    }
    // The answer is taken by the next read, the keeper's or an exchange's:
    // the connection is not held meanwhile.
    keepAlive_ = header;
    keepAliveDeadline_ = After(options_.answerTimeoutMs);
}

}  // namespace qt40
