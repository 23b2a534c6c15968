#include "transport/HartIpClient.h"

#include <algorithm>
#include <cstdio>

#include "hart/HartFrame.h"

namespace qt40 {
namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point After(int ms) { return Clock::now() + std::chrono::milliseconds(std::max(ms, 0)); }

int MsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::max<std::int64_t>(left, 0));
}

std::string Describe(const HartIpHeader& h) {
    char text[96];
    std::snprintf(text, sizeof text, "type %u, id %u, status %u, sequence %u, %u bytes",
                  static_cast<unsigned>(h.type), static_cast<unsigned>(h.id),
                  static_cast<unsigned>(h.status), static_cast<unsigned>(h.sequence),
                  static_cast<unsigned>(h.byteCount));
    return text;
}

}  // namespace

HartIpClient::HartIpClient(HartIpClientOptions options, TraceSink* trace)
    : options_(options), trace_(trace ? *trace : silent_) {}

HartIpClient::~HartIpClient() { Close(); }

TransportTiming HartIpClient::Timing() const {
    TransportTiming t;
    t.requestPreambles = 0;
    t.driveRts = false;
    t.quietLine = false;
    t.loopPacing = false;
    t.answerTimeoutMs = options_.answerTimeoutMs;
    t.searchAnswerTimeoutMs = std::min(options_.answerTimeoutMs, kHartIpSearchAnswerTimeoutMs);
    return t;
}

TransportKind HartIpClient::Kind() const {
    return endpoint_ && endpoint_->protocol == HartIpProtocol::Udp ? TransportKind::HartIpUdp
                                                                    : TransportKind::HartIpTcp;
}

// ---- failures ---------------------------------------------------------------

HartIpFailure HartIpClient::Failure(HartIpFailureKind kind, std::string detail) const {
    HartIpFailure f;
    f.kind = kind;
    f.endpoint = endpoint_ ? endpoint_->Url() : name_;
    f.detail = std::move(detail);
    return f;
}

HartIpFailure HartIpClient::LostFailure(const Awaited& awaited) const {
    if (awaited.wait == Wait::Aborted) return Failure(HartIpFailureKind::Aborted);
    if (awaited.tlsAlert) return Failure(HartIpFailureKind::SecuredOnly);
    if (awaited.otherVersion != 0) {
        HartIpFailure f = Failure(HartIpFailureKind::OtherVersion);
        f.code = awaited.otherVersion;
        return f;
    }
    if (awaited.wait == Wait::BadStream) return Failure(HartIpFailureKind::BadAnswer, awaited.detail);
    if (awaited.fault == SocketFault::Refused) return Failure(HartIpFailureKind::Refused, awaited.detail);
    return Failure(HartIpFailureKind::ConnectionLost, awaited.detail);
}

void HartIpClient::Fail(HartIpFailure failure) {
    Trace("HART-IP: " + HartIpFailureText(failure));
    std::lock_guard lock(failureMutex_);
    failure_ = std::move(failure);
}

HartIpFailure HartIpClient::LastFailure() const {
    std::lock_guard lock(failureMutex_);
    return failure_;
}

std::optional<TransportMessage> HartIpClient::FailureMessage() const {
    return HartIpFailureMessage(LastFailure());
}

std::string HartIpClient::LastError() const { return HartIpFailureText(LastFailure()); }

std::optional<HartIpEndpoint> HartIpClient::Endpoint() const { return endpoint_; }

void HartIpClient::Trace(const std::string& line) { trace_.Trace(line + "\n"); }

void HartIpClient::Tell(std::span<const std::uint8_t> message, bool sent) {
    if (SessionMessageObserver* observer = observer_) observer->SessionMessage(message, sent, Kind());
}

void HartIpClient::Tell(const HartIpReceived& message) {
    if (observer_) Tell(HartIpMessage(message.header, message.body), false);
}

void HartIpClient::Drop(const HartIpReceived& message, const char* why) {
    ++dropped_;
    Trace(std::string("HART-IP: dropped (") + why + "): " + Describe(message.header));
}

// ---- opening and closing ----------------------------------------------------

CommResult HartIpClient::Open(const std::string& name) {
    Close();
    name_ = name;
    gone_ = false;
    abort_ = false;
    {
        std::lock_guard lock(failureMutex_);
        failure_ = {};
    }
    if (name.find_first_not_of(" \t") == std::string::npos) return kCommNoPortName;

    std::lock_guard io(io_);
    sessionsThisOpen_ = 0;
    renew_ = false;
    std::string why;
    endpoint_ = ParseHartIpUrl(name, &why);
    if (!endpoint_) {
        Fail(Failure(HartIpFailureKind::BadUrl, why));
        return kCommPortNotOpened;
    }
    if (!StartSession()) return kCommPortNotOpened;
    open_ = true;
    StartKeeper();
    return kCommSuccess;
}

void HartIpClient::Close() {
    StopKeeper();
    std::lock_guard io(io_);
    awaiting_.reset();
    EndSession(true);
    open_ = false;
}

std::uint16_t HartIpClient::NextSequence() { return ++sequence_; }

bool HartIpClient::StartSession() {
    EndSession(false);
    const HartIpEndpoint& at = *endpoint_;
    const bool udp = at.protocol == HartIpProtocol::Udp;
    const SocketType type = udp ? SocketType::Datagram : SocketType::Stream;
    const Clock::time_point deadline = After(options_.connectTimeoutMs);

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
    const Clock::time_point answerDeadline = After(options_.answerTimeoutMs);
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

bool HartIpClient::Initiate(SocketAddress* udpServer, int answerTimeoutMs) {
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
            HartIpFailure f = sessionsThisOpen_ == 0
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
    sessionOpen_ = true;
    reinitiate_ = false;
    keepAlive_.reset();
    ++sessions_;
    ++sessionsThisOpen_;
    Trace("HART-IP: session with " + endpoint_->Url() + " (" +
          socket_.LocalAddress().Text() + "), inactivity close timer " + std::to_string(granted) + " ms");
    return true;
}

bool HartIpClient::Reinitiate(HartIpFailure& why) {
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

void HartIpClient::EndSession(bool closeWithServer) {
    if (sessionOpen_ && closeWithServer && socket_.IsOpen()) {
        HartIpHeader header;
        header.type = HartIpMessageType::Request;
        header.id = HartIpMessageId::SessionClose;
        header.sequence = NextSequence();
        // The answer is waited for briefly, so that the server is not left to
        // find the end by its timer; nothing depends on it.
        if (SendMessage(header, {})) AwaitReply(header, After(options_.closeTimeoutMs));
        Trace("HART-IP: session closed");
    }
    sessionOpen_ = false;
    reinitiate_ = false;
    keepAlive_.reset();
    socket_.Close();
    reader_.Reset();
}

// ---- messages ---------------------------------------------------------------

bool HartIpClient::SendMessage(HartIpHeader header, std::span<const std::uint8_t> body,
                               const SocketAddress* to) {
    const std::vector<std::uint8_t> message = HartIpMessage(header, body);
    const bool sent = to ? socket_.SendTo(message, *to)
                         : socket_.Send(message, options_.answerTimeoutMs, &abort_);
    if (sent) {
        lastSent_ = Clock::now();
        Tell(message, true);
    }
    return sent;
}

HartIpClient::Awaited HartIpClient::ReadMessage(SteadyTime deadline, SocketAddress* udpServer) {
    Awaited out;
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
        if (!first && Clock::now() >= deadline) {
            out.wait = Wait::TimedOut;
            out.fault = SocketFault::TimedOut;
            return out;
        }
        if (!udp) {
            if (auto message = reader_.Next()) return judgeVersion(std::move(*message));
        }
        SocketAddress from;
        const Socket::Received got = socket_.Receive(buffer_, MsLeft(deadline), &abort_, &from);
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
        const bool alert = bytes.size() >= 2 && bytes[0] == 0x15 && (bytes[1] == 0x03 || bytes[1] == 0xFE);
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

HartIpClient::Awaited HartIpClient::AwaitReply(const HartIpHeader& sent, SteadyTime deadline,
                                               SocketAddress* udpServer) {
    for (;;) {
        Awaited awaited = ReadMessage(deadline, udpServer);
        if (awaited.wait != Wait::Reply) return awaited;
        awaited.reply = JudgeHartIpReply(sent, awaited.message);
        // What answers the exchange under way goes to the link with it.
        const bool exchanges = awaiting_ && sent.id == HartIpMessageId::TokenPassingPdu &&
                               sent.sequence == awaiting_->header.sequence;
        if (!exchanges || awaited.reply.kind == HartIpReplyKind::Drop) Tell(awaited.message);
        if (awaited.reply.kind != HartIpReplyKind::Drop) return awaited;
        if (!TakeKeepAliveAnswer(awaited.message)) Drop(awaited.message, "not the answer waited for");
        // Dropped messages never stretch the wait.
        if (Clock::now() >= deadline) {
            Awaited timedOut;
            timedOut.fault = SocketFault::TimedOut;
            return timedOut;
        }
    }
}

bool HartIpClient::TakeKeepAliveAnswer(const HartIpReceived& message) {
    if (!keepAlive_) return false;
    const HartIpReply reply = JudgeHartIpReply(*keepAlive_, message);
    if (reply.kind != HartIpReplyKind::Answer) return false;
    keepAlive_.reset();
    return true;
}

void HartIpClient::DrainIdle() {
    if (!sessionOpen_) return;
    HartIpHeader none;
    none.sequence = static_cast<std::uint16_t>(sequence_ + 1);  // no answer can match it
    const SteadyTime deadline = After(5);
    for (;;) {
        const Awaited awaited = AwaitReply(none, deadline);
        switch (awaited.wait) {
            case Wait::TimedOut:
                return;
            case Wait::Aborted:
                return;
            case Wait::Lost:
            case Wait::BadStream:
                Trace("HART-IP: the connection ended while idle (" + HartIpFailureText(LostFailure(awaited)) + ")");
                EndSession(false);
                return;
            case Wait::Reply:
                if (awaited.reply.kind == HartIpReplyKind::SessionClosed) {
                    Trace("HART-IP: the server closed the session");
                    EndSession(false);
                    return;
                }
                if (keepAlive_ && JudgeHartIpReply(*keepAlive_, awaited.message).kind == HartIpReplyKind::Refusal) {
                    Trace("HART-IP: the session ended at the keep-alive");
                    EndSession(false);
                    return;
                }
                Drop(awaited.message, "unasked");
                break;
        }
        if (Clock::now() >= deadline) return;
    }
}

// ---- exchanges --------------------------------------------------------------

bool HartIpClient::SendRequest(Awaiting& request, const Written& written) {
    HartIpHeader header;
    header.type = HartIpMessageType::Request;
    header.id = HartIpMessageId::TokenPassingPdu;
    header.sequence = NextSequence();
    requestMessage_ = HartIpMessage(header, request.pdu);
    request.header = header;
    request.header.byteCount = static_cast<std::uint16_t>(requestMessage_.size());
    if (!socket_.Send(requestMessage_, options_.answerTimeoutMs, &abort_)) return false;
    lastSent_ = Clock::now();
    if (written) written(requestMessage_);
    return true;
}

SendResult HartIpClient::Send(std::span<const std::uint8_t> request, const Written& written) {
    std::lock_guard io(io_);
    gone_ = false;
    awaiting_.reset();
    auto fail = [&](HartIpFailure f, bool gone, SendFailure why) {
        Fail(std::move(f));
        gone_ = gone;
        return SendResult{false, why};
    };
    if (abort_) return fail(Failure(HartIpFailureKind::Aborted), false, SendFailure::PortClosed);
    if (!open_ || !endpoint_) {
        return fail(Failure(HartIpFailureKind::NetworkError, "not connected"), true, SendFailure::PortClosed);
    }

    const std::size_t start = HartFrame::PreamblesIn(request);  // preambles stay on the loop
    Awaiting waiting;
    waiting.pdu.assign(request.begin() + static_cast<std::ptrdiff_t>(start), request.end());
    const std::optional<std::uint8_t> command = HartRequestCommand(waiting.pdu);
    if (!command) {
        return fail(Failure(HartIpFailureKind::NetworkError, "no request frame"), false, SendFailure::WriteFailed);
    }
    waiting.command = *command;

    if (renew_.exchange(false) && sessionOpen_) {
        Trace("HART-IP: a fresh session, as asked");
        EndSession(true);
    }
    DrainIdle();
    if (sessionOpen_ && reinitiate_) {
        // The gateway neither answered the request nor the initiate after it:
        // it is gone, and the remaining tries would only wait the same.
        HartIpFailure why;
        if (!Reinitiate(why)) {
            EndSession(false);
            return fail(why, why.kind != HartIpFailureKind::Aborted, SendFailure::PortClosed);
        }
    }
    if (!sessionOpen_) {
        Trace("HART-IP: opening a new session with " + endpoint_->Url());
        if (!StartSession()) {
            gone_ = true;
            return SendResult{false, SendFailure::PortClosed};
        }
    }
    if (!SendRequest(waiting, written)) {
        Awaited lost;
        lost.wait = socket_.LastFault() == SocketFault::Aborted ? Wait::Aborted : Wait::Lost;
        lost.fault = socket_.LastFault();
        lost.detail = socket_.LastError();
        EndSession(false);
        return fail(LostFailure(lost), lost.wait != Wait::Aborted, SendFailure::PortClosed);
    }
    awaiting_ = std::move(waiting);
    return SendResult{true, {}};
}

ReceiveResult HartIpClient::Receive(std::span<std::uint8_t> answer, int timeoutMs) {
    std::lock_guard io(io_);
    answerMessage_.clear();
    ReceiveResult result;
    auto end = [&](ReceiveEnd how, std::optional<HartIpFailure> failure = std::nullopt, bool gone = false) {
        if (failure) Fail(std::move(*failure));
        gone_ = gone;
        awaiting_.reset();
        result.end = how;
        result.message = answerMessage_;
        return result;
    };
    // What came, from its delimiter, for the trace and the record.
    auto keep = [&](std::span<const std::uint8_t> frame) {
        frame = frame.subspan(HartFrame::PreamblesIn(frame));
        result.size = std::min(frame.size(), answer.size());
        std::copy_n(frame.begin(), result.size, answer.begin());
    };
    if (!awaiting_) return end(ReceiveEnd::NoAnswer, Failure(HartIpFailureKind::NetworkError, "no request sent"));

    for (int attempt = 0;; ++attempt) {
        const Awaited awaited = AwaitReply(awaiting_->header, After(timeoutMs));
        switch (awaited.wait) {
            case Wait::TimedOut: {
                HartIpFailure f = Failure(HartIpFailureKind::NoAnswer);
                f.timeoutMs = timeoutMs;
                // A gateway that forgot the session (a restart) is silent to
                // it: the next try starts with the session initiate.
                reinitiate_ = endpoint_->protocol == HartIpProtocol::Udp;
                return end(ReceiveEnd::NoAnswer, f);
            }
            case Wait::Aborted:
                return end(ReceiveEnd::Aborted, Failure(HartIpFailureKind::Aborted));
            case Wait::Lost:
            case Wait::BadStream:
                EndSession(false);
                return end(ReceiveEnd::PortLost, LostFailure(awaited), true);
            case Wait::Reply:
                break;
        }
        answerMessage_ = HartIpMessage(awaited.message.header, awaited.message.body);
        const HartIpReply& reply = awaited.reply;
        if (reply.kind == HartIpReplyKind::SessionClosed) {
            // The server had ended the session (its timer ran out) and did not
            // take the request: a new session, and the request once more.
            Trace("HART-IP: the server closed the session instead of answering");
            Tell(answerMessage_, false);
            EndSession(false);
            if (attempt == 0 && !abort_) {
                Trace("HART-IP: opening a new session with " + endpoint_->Url());
                if (!StartSession()) return end(ReceiveEnd::PortLost, std::nullopt, true);
                const auto resent = [this](std::span<const std::uint8_t> message) { Tell(message, true); };
                if (!SendRequest(*awaiting_, resent)) {
                    Awaited lost;
                    lost.fault = socket_.LastFault();
                    lost.detail = socket_.LastError();
                    EndSession(false);
                    return end(ReceiveEnd::PortLost, LostFailure(lost), true);
                }
                continue;
            }
            HartIpFailure f = Failure(HartIpFailureKind::ErrorMessage);
            f.code = kHartIpErrorSessionClosed;
            return end(ReceiveEnd::NoAnswer, f);
        }
        if (reply.kind == HartIpReplyKind::Refusal) {
            HartIpFailure f = Failure(HartIpFailureKind::ErrorMessage);
            f.code = reply.code;
            f.nak = reply.nak;
            return end(ReceiveEnd::NoAnswer, f);
        }
        const std::vector<std::uint8_t>& body = awaited.message.body;
        const std::span<const std::uint8_t> frame = HartAnswerFrame(body, awaiting_->command);
        if (!frame.empty()) {
            if (frame.size() > answer.size()) {
                return end(ReceiveEnd::Incomplete,
                           Failure(HartIpFailureKind::BadAnswer, "the answer is longer than its buffer"));
            }
            keep(frame);
            return end(ReceiveEnd::Answer);
        }
        if (reply.code != 0 && body.empty()) {
            // A refusal in the header alone.
            HartIpFailure f = Failure(HartIpFailureKind::ErrorMessage);
            f.code = reply.code;
            f.nak = true;
            return end(ReceiveEnd::NoAnswer, f);
        }
        keep(body);
        // A whole frame, but the answer to another command.
        const std::optional<std::uint8_t> other = HartRequestCommand(body);
        const bool otherCommand = other && *other != awaiting_->command && !HartAnswerFrame(body, *other).empty();
        return end(otherCommand ? ReceiveEnd::OtherCommand : ReceiveEnd::Incomplete,
                   Failure(HartIpFailureKind::BadAnswer));
    }
}

// ---- the session keeper -----------------------------------------------------

void HartIpClient::KeepSession() {
    if (!open_ || !sessionOpen_ || awaiting_) return;
    DrainIdle();
    if (!sessionOpen_ || !options_.keepAlive) return;
    const auto timer = std::chrono::milliseconds(grantedTimerMs_.load());
    if (keepAlive_) {
        if (Clock::now() < keepAliveDeadline_) return;
        // Perhaps lost on the way: another before the server's timer runs out.
        Trace("HART-IP: no answer to the keep-alive");
        keepAlive_.reset();
        lastSent_ = Clock::now() - timer / 2 + std::min<std::chrono::milliseconds>(timer / 8, std::chrono::milliseconds(1000));
        return;
    }
    if (Clock::now() - lastSent_ < timer / 2) return;

    HartIpHeader header;
    header.type = HartIpMessageType::Request;
    header.id = HartIpMessageId::KeepAlive;
    header.sequence = NextSequence();
    ++keepAlives_;
    if (!SendMessage(header, {})) {
        Trace("HART-IP: the keep-alive could not be sent: " + socket_.LastError());
        EndSession(false);
        return;
    }
    // The answer is taken by the next read, the keeper's or an exchange's:
    // the connection is not held meanwhile.
    keepAlive_ = header;
    keepAliveDeadline_ = After(options_.answerTimeoutMs);
}

void HartIpClient::StartKeeper() {
    {
        std::lock_guard lock(keeperMutex_);
        stopKeeper_ = false;
    }
    keeper_ = std::thread([this] { KeeperLoop(); });
}

void HartIpClient::StopKeeper() {
    {
        std::lock_guard lock(keeperMutex_);
        stopKeeper_ = true;
    }
    keeperWake_.notify_all();
    if (keeper_.joinable()) keeper_.join();
}

void HartIpClient::KeeperLoop() {
    std::unique_lock lock(keeperMutex_);
    while (!stopKeeper_) {
        // Often enough to keep a short timer and to see the server end a session soon.
        const int slice = std::clamp(static_cast<int>(grantedTimerMs_.load() / 8), 5, 100);
        keeperWake_.wait_for(lock, std::chrono::milliseconds(slice));
        if (stopKeeper_) break;
        lock.unlock();
        {
            // An exchange under way is traffic enough.
            std::unique_lock io(io_, std::try_to_lock);
            if (io) KeepSession();
        }
        lock.lock();
    }
}

}  // namespace qt40
