#include "traffic/ExchangeRecorder.h"

#include <algorithm>

#include "hart/HartFrame.h"

namespace qt40::traffic {
namespace {

Outcome OutcomeOf(ReceiveEnd end) {
    switch (end) {
        case ReceiveEnd::Answer: return Outcome::Answered;
        case ReceiveEnd::NoAnswer: return Outcome::NoAnswer;
        case ReceiveEnd::Incomplete: return Outcome::Incomplete;
        case ReceiveEnd::BadChecksum: return Outcome::BadChecksum;
        case ReceiveEnd::WrongDelimiter: return Outcome::WrongDelimiter;
        case ReceiveEnd::OtherCommand: return Outcome::OtherCommand;
        case ReceiveEnd::PortLost: return Outcome::PortLost;
        case ReceiveEnd::Aborted: return Outcome::Aborted;
    }
    return Outcome::NoAnswer;
}

Outcome OutcomeOf(SendFailure why) {
    switch (why) {
        case SendFailure::LineBusy: return Outcome::LineBusy;
        case SendFailure::WriteFailed: return Outcome::WriteFailed;
        case SendFailure::PortClosed: return Outcome::PortClosed;
    }
    return Outcome::PortClosed;
}

Transport TransportOf(TransportKind kind) {
    switch (kind) {
        case TransportKind::Serial: return Transport::Serial;
        case TransportKind::HartIpTcp: return Transport::HartIpTcp;
        case TransportKind::HartIpUdp: return Transport::HartIpUdp;
    }
    return Transport::Serial;
}

// The frame from its delimiter on, and the preambles before it.
std::pair<std::vector<std::uint8_t>, int> WithoutPreambles(std::span<const std::uint8_t> frame) {
    const std::size_t n = HartFrame::PreamblesIn(frame);
    return {{frame.begin() + static_cast<std::ptrdiff_t>(n), frame.end()}, static_cast<int>(n)};
}

}  // namespace

ExchangeRecorder::ExchangeRecorder(std::size_t capacity, MonotonicUs now)
    : capacity_(std::max<std::size_t>(capacity, 1)),
      now_(std::move(now)),
      start_(std::chrono::steady_clock::now()) {
    wallStartUs_ = std::chrono::duration_cast<std::chrono::microseconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
    if (now_) wallStartUs_ -= now_();
}

std::int64_t ExchangeRecorder::NowUs() const {
    if (now_) return now_();
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 start_)
        .count();
}

void ExchangeRecorder::SetTransport(Transport transport) {
    std::lock_guard lock(mutex_);
    transport_ = transport;
}

void ExchangeRecorder::TransportOpened(TransportKind kind) { SetTransport(TransportOf(kind)); }

void ExchangeRecorder::OnFinished(std::function<void(const Exchange&)> listener) {
    std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

std::shared_ptr<Exchange> ExchangeRecorder::Begin(std::unique_lock<std::mutex>& lock,
                                                  std::span<const std::uint8_t> frame, int attempt,
                                                  std::int64_t now) {
    // A request whose receive never ended (a send alone) counts as unanswered.
    if (pending_) {
        Finish(lock);
        lock.lock();
    }
    auto exchange = std::make_shared<Exchange>();
    exchange->transport = transport_;
    exchange->attempt = attempt;
    exchange->sentUs = now;
    exchange->endedUs = now;
    std::tie(exchange->request, exchange->requestPreambles) = WithoutPreambles(frame);
    return exchange;
}

void ExchangeRecorder::RequestSent(std::span<const std::uint8_t> frame, int attempt) {
    const std::int64_t now = NowUs();
    std::unique_lock lock(mutex_);
    auto exchange = Begin(lock, frame, attempt, now);
    exchange->requestMessage = std::move(nextRequestMessage_);
    nextRequestMessage_.clear();
    pending_ = std::move(exchange);
}

void ExchangeRecorder::RequestNotSent(std::span<const std::uint8_t> frame, int attempt,
                                      SendFailure why) {
    const std::int64_t now = NowUs();
    std::unique_lock lock(mutex_);
    auto exchange = Begin(lock, frame, attempt, now);
    exchange->outcome = OutcomeOf(why);
    nextRequestMessage_.clear();
    pending_ = std::move(exchange);
    Finish(lock);
}

void ExchangeRecorder::ReceiveEnded(std::span<const std::uint8_t> frame, int preambles,
                                    ReceiveEnd end) {
    const std::int64_t now = NowUs();
    std::unique_lock lock(mutex_);
    if (!pending_) return;  // a receive without a request: nothing to pair it with
    pending_->endedUs = now;
    pending_->answer.assign(frame.begin(), frame.end());
    pending_->answerPreambles = preambles;
    pending_->outcome = OutcomeOf(end);
    Finish(lock);
}

void ExchangeRecorder::RequestMessage(std::span<const std::uint8_t> message) {
    std::lock_guard lock(mutex_);
    nextRequestMessage_.assign(message.begin(), message.end());
}

void ExchangeRecorder::AnswerMessage(std::span<const std::uint8_t> message) {
    std::lock_guard lock(mutex_);
    if (pending_) pending_->answerMessage.assign(message.begin(), message.end());
}

void ExchangeRecorder::SessionMessage(std::span<const std::uint8_t> message, bool sent,
                                      TransportKind kind) {
    const std::int64_t now = NowUs();
    auto record = std::make_shared<Exchange>();
    // The session is opened before the link hears which transport it opened.
    record->transport = TransportOf(kind);
    record->sessionMessage = true;
    record->outcome = Outcome::Answered;
    record->sentUs = record->endedUs = now;
    (sent ? record->requestMessage : record->answerMessage).assign(message.begin(), message.end());
    std::unique_lock lock(mutex_);
    Keep(lock, std::move(record));
}

// Moves the pending exchange into the ring and tells the listener; returns
// with the lock released.
void ExchangeRecorder::Finish(std::unique_lock<std::mutex>& lock) {
    std::shared_ptr<Exchange> done = std::move(pending_);
    pending_.reset();
    Keep(lock, std::move(done));
}

void ExchangeRecorder::Keep(std::unique_lock<std::mutex>& lock, std::shared_ptr<Exchange> done) {
    done->number = nextNumber_++;
    ring_.push_back(done);
    while (ring_.size() > capacity_) {
        ring_.pop_front();
        ++dropped_;
    }
    const auto listener = listener_;
    lock.unlock();
    if (listener) listener(*done);
}

std::vector<ExchangePtr> ExchangeRecorder::Since(std::uint64_t number) const {
    std::lock_guard lock(mutex_);
    // Numbers rise along the ring: find the first above `number`.
    const auto first = std::upper_bound(
        ring_.begin(), ring_.end(), number,
        [](std::uint64_t n, const ExchangePtr& e) { return n < e->number; });
    return {first, ring_.end()};
}

std::size_t ExchangeRecorder::Size() const {
    std::lock_guard lock(mutex_);
    return ring_.size();
}

std::uint64_t ExchangeRecorder::Dropped() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

void ExchangeRecorder::Clear() {
    std::lock_guard lock(mutex_);
    ring_.clear();
}

}  // namespace qt40::traffic
