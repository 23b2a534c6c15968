#pragma once
// The termios port's system calls made to behave as a real driver does on
// the pseudo-terminal's line: modem lines that a pseudo-terminal lacks, a
// USB adapter pulled out (every call fails with EIO, ENXIO or ENODEV), a
// drain that returns before the frame is out, or never. Everything else goes
// to the real calls.

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include <sys/ioctl.h>

#include "base/Clock.h"
#include "transport/PosixPortCalls.h"

namespace qt40::testing {

// Real time plus every sleep, without sleeping: waits cost nothing, real
// reads and the worker's thread still take their time.
class OffsetClock final : public Clock {
public:
    std::int64_t NowMs() override { return steady_.NowMs() + offset_; }
    void SleepMs(int ms) override {
        if (onSleep) onSleep(ms);
        if (ms > 0) offset_ += ms;
    }
    std::function<void(int ms)> onSleep;  // set before the worker runs

private:
    SteadyClock steady_;
    std::atomic<std::int64_t> offset_{0};
};

class DriverCalls final : public PosixPortCalls {
public:
    enum class DrainMode { Real, AtOnce, Never };
    struct RtsChange {
        bool raised;
        std::int64_t atMs;
    };

    explicit DriverCalls(Clock& clock) : clock_(clock) {}
    ~DriverCalls() override { ReleaseDrain(); }

    std::atomic<bool> modemLines{true};  // as a UART or most USB adapters
    std::atomic<bool> carrier{false};
    std::atomic<int> unplugged{0};    // an errno: every call fails with it
    std::atomic<int> statusError{0};  // an errno: only the status query fails
    std::atomic<DrainMode> drain{DrainMode::AtOnce};
    std::atomic<int> statusQueries{0};
    std::atomic<int> writes{0};

    void Unplug(int error = EIO) { unplugged = error; }
    // A drain that never returned returns now.
    void ReleaseDrain() {
        const std::lock_guard lock(mutex_);
        released_ = true;
        wake_.notify_all();
    }
    std::vector<RtsChange> Rts() {
        const std::lock_guard lock(mutex_);
        return rts_;
    }
    termios Attributes() {
        const std::lock_guard lock(mutex_);
        return attributes_;
    }

    int GetModemLines(int fd, int* lines) override {
        ++statusQueries;
        if (Unplugged()) return -1;
        if (statusError != 0) return Fail(statusError);
        if (!modemLines) return PosixPortCalls::GetModemLines(fd, lines);
        *lines = TIOCM_DTR | (carrier ? TIOCM_CD : 0);
        return 0;
    }
    int SetModemLines(int fd, bool raise, int lines) override {
        if (Unplugged()) return -1;
        if (!modemLines) return PosixPortCalls::SetModemLines(fd, raise, lines);
        if (lines & TIOCM_RTS) {
            const std::lock_guard lock(mutex_);
            rts_.push_back({raise, clock_.NowMs()});
        }
        return 0;
    }
    int Drain(int fd) override {
        if (Unplugged()) return -1;
        switch (drain.load()) {
            case DrainMode::AtOnce:
                return 0;
            case DrainMode::Never: {
                // Until the test lets go; the bound only keeps a broken test from hanging.
                std::unique_lock lock(mutex_);
                wake_.wait_for(lock, std::chrono::seconds(20), [&] { return released_; });
                return 0;
            }
            case DrainMode::Real:
                break;
        }
        return PosixPortCalls::Drain(fd);
    }
    int Flush(int fd, int queue) override {
        return Unplugged() ? -1 : PosixPortCalls::Flush(fd, queue);
    }
    int SetAttributes(int fd, const termios& t) override {
        {
            const std::lock_guard lock(mutex_);
            attributes_ = t;
        }
        return PosixPortCalls::SetAttributes(fd, t);
    }
    ssize_t Write(int fd, const void* bytes, std::size_t n) override {
        ++writes;
        return Unplugged() ? -1 : PosixPortCalls::Write(fd, bytes, n);
    }
    ssize_t Read(int fd, void* bytes, std::size_t n) override {
        return Unplugged() ? -1 : PosixPortCalls::Read(fd, bytes, n);
    }

private:
    static int Fail(int error) {
        errno = error;
        return -1;
    }
    bool Unplugged() {
        const int error = unplugged;
        if (error == 0) return false;
        errno = error;
        return true;
    }

    Clock& clock_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool released_ = false;
    std::vector<RtsChange> rts_;
    termios attributes_{};
};

}  // namespace qt40::testing
