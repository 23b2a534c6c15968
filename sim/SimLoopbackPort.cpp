#include "sim/SimLoopbackPort.h"

namespace qt40::sim {

bool SimLoopbackPort::Open(const std::string& path, int readSliceMs) {
    if (Vanished() || path.find("missing") != std::string::npos) {
        lastError_ = "No such file or directory";
        return false;
    }
    readSliceMs_ = readSliceMs;
    open_ = true;
    ++openCount_;
    return true;
}

CarrierState SimLoopbackPort::Carrier() {
    if (!line_.hasCarrierLine) return CarrierState::NoLine;
    return clock_.NowMs() < line_.carrierOnUntil ? CarrierState::On : CarrierState::Off;
}

void SimLoopbackPort::PurgeInput() {
    std::lock_guard lock(mutex_);
    incoming_.clear();
}

std::vector<std::vector<std::uint8_t>> SimLoopbackPort::Written() {
    std::lock_guard lock(mutex_);
    return written_;
}

void SimLoopbackPort::Replug() {
    std::lock_guard lock(mutex_);
    line_.vanishAtWrite = -1;
    vanished_ = false;
}

bool SimLoopbackPort::Write(const std::uint8_t* bytes, std::size_t n) {
    if (!open_ || line_.failWrites || Vanished()) return false;
    std::lock_guard lock(mutex_);
    if (line_.vanishAtWrite == static_cast<int>(written_.size())) {
        vanished_ = true;
        vanishedAt_ = clock_.NowMs();
        incoming_.clear();
        if (!line_.vanishAfterRequest) return false;
        written_.emplace_back(bytes, bytes + n);  // left, but nobody hears it
        return true;
    }
    if (line_.keepWritten) written_.emplace_back(bytes, bytes + n);
    // The request leaves at the loop's pace too; the device answers after it.
    const std::int64_t now = clock_.NowMs();
    std::int64_t at = now;
    if (line_.echoRequests) {
        for (std::size_t i = 0; i < n; ++i) incoming_.push_back({at, bytes[i]});
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (auto frame = assembler_.Feed(bytes[i])) {
            ++frames_;
            auto reply = line_.scriptedReply ? std::optional<SimReply>(SimReply{*line_.scriptedReply})
                                             : device_.Handle(*frame);
            if (reply) {
                double t = static_cast<double>(now + line_.turnaroundMs) +
                           static_cast<double>(n) * line_.msPerByte;
                for (std::size_t k = 0; k < reply->bytes.size(); ++k) {
                    if (k == reply->gapAfter) t += reply->gapMs;
                    incoming_.push_back({static_cast<std::int64_t>(t), reply->bytes[k]});
                    t += line_.msPerByte;
                }
            }
        }
    }
    return true;
}

ReadOutcome SimLoopbackPort::ReadByte(std::uint8_t& byte) {
    if (Vanished()) return ReadOutcome::Gone;
    std::int64_t wait = readSliceMs_;
    {
        std::lock_guard lock(mutex_);
        const std::int64_t now = clock_.NowMs();
        if (!incoming_.empty()) {
            const std::int64_t ready = incoming_.front().readyAt;
            if (ready <= now) {
                byte = incoming_.front().byte;
                incoming_.pop_front();
                return ReadOutcome::Byte;
            }
            if (ready - now <= readSliceMs_) wait = ready - now;
        }
    }
    clock_.SleepMs(static_cast<int>(wait));
    std::lock_guard lock(mutex_);
    if (!incoming_.empty() && incoming_.front().readyAt <= clock_.NowMs()) {
        byte = incoming_.front().byte;
        incoming_.pop_front();
        return ReadOutcome::Byte;
    }
    return ReadOutcome::Nothing;
}

}  // namespace qt40::sim
