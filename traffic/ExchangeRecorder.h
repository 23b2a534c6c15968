#pragma once
// The last N exchanges on the line, recorded under the link: the link tells
// it of every request sent and every receive's end on the worker thread; the
// window, a capture or the command-line tool read finished exchanges from any
// thread. Past its capacity the oldest exchange is dropped and counted.

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "link/LinkObserver.h"
#include "traffic/Exchange.h"

namespace qt40::traffic {

class ExchangeRecorder final : public LinkObserver {
public:
    static constexpr std::size_t kDefaultCapacity = 100000;
    // Monotonic microseconds.
    using MonotonicUs = std::function<std::int64_t()>;

    explicit ExchangeRecorder(std::size_t capacity = kDefaultCapacity, MonotonicUs now = {});

    // The transport the next exchanges go over (serial until told otherwise).
    void SetTransport(Transport transport);
    // Called on the recording thread for every finished exchange, outside the
    // recorder's lock; set before recording starts.
    void OnFinished(std::function<void(const Exchange&)> listener);

    // LinkObserver, on the worker thread.
    void TransportOpened(TransportKind kind) override;
    void RequestSent(std::span<const std::uint8_t> frame, int attempt) override;
    void RequestNotSent(std::span<const std::uint8_t> frame, int attempt, SendFailure why) override;
    void ReceiveEnded(std::span<const std::uint8_t> frame, int preambles, ReceiveEnd end) override;

    // A HART-IP transport hands the messages as they went, header included:
    // a request to the exchange the link is about to record (call before
    // RequestSent), an answer to the exchange in progress (before ReceiveEnded).
    void RequestMessage(std::span<const std::uint8_t> message) override;
    void AnswerMessage(std::span<const std::uint8_t> message) override;
    // A message outside the exchanges: a record of its own, as it went.
    void SessionMessage(std::span<const std::uint8_t> message, bool sent,
                        TransportKind kind) override;

    // Finished exchanges numbered above `number`, oldest first.
    std::vector<ExchangePtr> Since(std::uint64_t number) const;
    std::vector<ExchangePtr> All() const { return Since(0); }
    std::size_t Size() const;
    std::size_t Capacity() const { return capacity_; }
    // Exchanges dropped past the capacity since the start (Clear does not count).
    std::uint64_t Dropped() const;
    // Forgets every exchange kept; numbering goes on.
    void Clear();

    // Wall-clock time (microseconds since 1970, UTC) at monotonic time 0.
    std::int64_t WallClockStartUs() const { return wallStartUs_; }

private:
    void Finish(std::unique_lock<std::mutex>& lock);
    // Numbers `done` and keeps it; returns with the lock released.
    void Keep(std::unique_lock<std::mutex>& lock, std::shared_ptr<Exchange> done);
    // A new exchange for a request, after finishing the one still open.
    std::shared_ptr<Exchange> Begin(std::unique_lock<std::mutex>& lock,
                                    std::span<const std::uint8_t> frame, int attempt,
                                    std::int64_t now);
    std::int64_t NowUs() const;

    const std::size_t capacity_;
    MonotonicUs now_;
    std::chrono::steady_clock::time_point start_;
    std::int64_t wallStartUs_ = 0;
    std::function<void(const Exchange&)> listener_;

    mutable std::mutex mutex_;
    std::deque<ExchangePtr> ring_;
    std::shared_ptr<Exchange> pending_;  // sent, receive not ended yet
    std::vector<std::uint8_t> nextRequestMessage_;
    Transport transport_ = Transport::Serial;
    std::uint64_t nextNumber_ = 1;
    std::uint64_t dropped_ = 0;
};

}  // namespace qt40::traffic
