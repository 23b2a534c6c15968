#include "transport/HartIpClient.h"

#include <algorithm>

#include "hart/HartFrame.h"

namespace qt40 {

HartIpClient::HartIpClient(HartIpClientOptions options, TraceSink* trace, Clock* clock)
    : options_(options),
      clock_(clock ? *clock : steady_),
      session_(options_, clock_, trace ? *trace : silent_) {}

HartIpClient::~HartIpClient() {
    Close();
}

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
    return session_.Kind();
}

HartIpFailure HartIpClient::LastFailure() const {
    return session_.LastFailure();
}

std::optional<TransportMessage> HartIpClient::FailureMessage() const {
    return HartIpFailureMessage(LastFailure());
}

std::string HartIpClient::LastError() const {
    return HartIpFailureText(LastFailure());
}

std::optional<HartIpEndpoint> HartIpClient::Endpoint() const {
    return session_.Endpoint();
}

// ---- opening and closing ----------------------------------------------------

CommResult HartIpClient::Open(const std::string& name) {
    Close();
    name_ = name;
    gone_ = false;
    session_.SetAbort(false);
    {
        std::lock_guard io(io_);
        session_.Reset(name);
    }
    if (name.find_first_not_of(" \t") == std::string::npos) return kCommNoPortName;

    std::lock_guard io(io_);
    renew_ = false;
    std::string why;
    session_.SetEndpoint(ParseHartIpUrl(name, &why));
    if (!session_.Endpoint()) {
        Fail(Failure(HartIpFailureKind::BadUrl, why));
        return kCommPortNotOpened;
    }
    if (!session_.Start()) return kCommPortNotOpened;
    open_ = true;
    StartKeeper();
    return kCommSuccess;
}

void HartIpClient::Close() {
    StopKeeper();
    std::lock_guard io(io_);
    EndExchange();
    session_.End(true);
    open_ = false;
}

void HartIpClient::EndExchange() {
    awaiting_.reset();
    session_.ClearExchange();
}

// ---- exchanges --------------------------------------------------------------

SendResult HartIpClient::Send(std::span<const std::uint8_t> request, const Written& written) {
    std::lock_guard io(io_);
    gone_ = false;
    EndExchange();
    auto fail = [&](HartIpFailure f, bool gone, SendFailure why) {
        Fail(std::move(f));
        gone_ = gone;
        return SendResult{false, why};
    };
    if (session_.Aborted())
        return fail(Failure(HartIpFailureKind::Aborted), false, SendFailure::PortClosed);
    if (!open_ || !session_.Endpoint()) {
        return fail(Failure(HartIpFailureKind::NetworkError, "not connected"), true,
                    SendFailure::PortClosed);
    }

    const std::size_t start = HartFrame::PreamblesIn(request);  // preambles stay on the loop
    Awaiting waiting;
    waiting.pdu.assign(request.begin() + static_cast<std::ptrdiff_t>(start), request.end());
    const std::optional<std::uint8_t> command = HartRequestCommand(waiting.pdu);
    if (!command) {
        return fail(Failure(HartIpFailureKind::NetworkError, "no request frame"), false,
                    SendFailure::WriteFailed);
    }
    waiting.command = *command;

    if (renew_.exchange(false) && session_.IsOpen()) {
        Trace("HART-IP: a fresh session, as asked");
        session_.End(true);
    }
    session_.DrainIdle();
    if (session_.IsOpen() && session_.ReinitiateDue()) {
        // The gateway neither answered the request nor the initiate after it:
        // it is gone, and the remaining tries would only wait the same.
        HartIpFailure why;
        if (!session_.Reinitiate(why)) {
            session_.End(false);
            return fail(why, why.kind != HartIpFailureKind::Aborted, SendFailure::PortClosed);
        }
    }
    if (!session_.IsOpen()) {
        Trace("HART-IP: opening a new session with " + session_.Endpoint()->Url());
        if (!session_.Start()) {
            gone_ = true;
            return SendResult{false, SendFailure::PortClosed};
        }
    }
    if (!session_.SendRequest(waiting.pdu, written)) {
        Awaited lost;
        lost.wait = session_.LastSocketFault() == SocketFault::Aborted ? Wait::Aborted : Wait::Lost;
        lost.fault = session_.LastSocketFault();
        lost.detail = session_.LastSocketError();
        session_.End(false);
        return fail(session_.LostFailure(lost), lost.wait != Wait::Aborted,
                    SendFailure::PortClosed);
    }
    awaiting_ = std::move(waiting);
    return SendResult{true, {}};
}

ReceiveResult HartIpClient::Receive(std::span<std::uint8_t> answer, int timeoutMs) {
    std::lock_guard io(io_);
    answerMessage_.clear();
    ReceiveResult result;
    auto end = [&](ReceiveEnd how, std::optional<HartIpFailure> failure = std::nullopt,
                   bool gone = false) {
        if (failure) Fail(std::move(*failure));
        gone_ = gone;
        EndExchange();
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
    if (!awaiting_)
        return end(ReceiveEnd::NoAnswer,
                   Failure(HartIpFailureKind::NetworkError, "no request sent"));

    for (int attempt = 0;; ++attempt) {
        const Awaited awaited =
            session_.AwaitReply(*session_.Exchange(), session_.After(timeoutMs));
        switch (awaited.wait) {
            case Wait::TimedOut: {
                HartIpFailure f = Failure(HartIpFailureKind::NoAnswer);
                f.timeoutMs = timeoutMs;
                // A gateway that forgot the session (a restart) is silent to
                // it: the next try starts with the session initiate.
                session_.SetReinitiateDue(session_.Udp());
                return end(ReceiveEnd::NoAnswer, f);
            }
            case Wait::Aborted:
                return end(ReceiveEnd::Aborted, Failure(HartIpFailureKind::Aborted));
            case Wait::Lost:
            case Wait::BadStream:
                session_.End(false);
                return end(ReceiveEnd::PortLost, session_.LostFailure(awaited), true);
            case Wait::Reply:
                break;
        }
        answerMessage_ = HartIpMessage(awaited.message.header, awaited.message.body);
        const HartIpReply& reply = awaited.reply;
        if (reply.kind == HartIpReplyKind::SessionClosed) {
            // The server had ended the session (its timer ran out) and did not
            // take the request: a new session, and the request once more.
            Trace("HART-IP: the server closed the session instead of answering");
            session_.Tell(answerMessage_, false);
            session_.End(false);
            if (attempt == 0 && !session_.Aborted()) {
                Trace("HART-IP: opening a new session with " + session_.Endpoint()->Url());
                if (!session_.Start()) return end(ReceiveEnd::PortLost, std::nullopt, true);
                const auto resent = [this](std::span<const std::uint8_t> message) {
                    session_.Tell(message, true);
                };
                if (!session_.SendRequest(awaiting_->pdu, resent)) {
                    Awaited lost;
                    lost.fault = session_.LastSocketFault();
                    lost.detail = session_.LastSocketError();
                    session_.End(false);
                    return end(ReceiveEnd::PortLost, session_.LostFailure(lost), true);
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
                return end(ReceiveEnd::Incomplete, Failure(HartIpFailureKind::BadAnswer,
                                                           "the answer is longer than its buffer"));
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
        const bool otherCommand =
            other && *other != awaiting_->command && !HartAnswerFrame(body, *other).empty();
        return end(otherCommand ? ReceiveEnd::OtherCommand : ReceiveEnd::Incomplete,
                   Failure(HartIpFailureKind::BadAnswer));
    }
}

// ---- the session keeper -----------------------------------------------------

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
        const int slice = std::clamp(static_cast<int>(session_.GrantedTimerMs() / 8), 5, 100);
        if (clock_.WaitUntil(lock, keeperWake_, clock_.NowMs() + slice,
                             [this] { return stopKeeper_; })) {
            break;
        }
        lock.unlock();
        {
            // An exchange under way is traffic enough.
            std::unique_lock io(io_, std::try_to_lock);
            if (io && open_ && !awaiting_) session_.Keep();
        }
        lock.lock();
    }
}

}  // namespace qt40
