#pragma once
// A serial port in memory with the simulated transmitter on the other end.
// Answers arrive after a turnaround and at a chosen byte rate, measured on the
// given clock, so link timing can be tested on virtual time. It can also stand
// in for a broken line: carrier stuck on, echoed requests, failed writes, a
// port that vanishes.

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>
#include <string>

#include "sim/SimDevice.h"
#include "base/Clock.h"
#include "transport/SerialPort.h"

namespace qt40::sim {

struct LoopbackLine {
    int turnaroundMs = 0;      // from the end of the request to the first answer byte
    double msPerByte = 11.0 * 1000.0 / 1200.0;  // a 1200 bit/s loop; 0: all at once
    bool echoRequests = false; // the modem hears itself: the request comes back first
    bool hasCarrierLine = false;
    std::int64_t carrierOnUntil = 0;  // clock time; carrier on before it (with the line)
    bool failWrites = false;
    // Answer every request with exactly these bytes instead of asking the device.
    std::optional<std::vector<std::uint8_t>> scriptedReply;
    bool gone = false;
    // The port vanishes at the write with this index (counted over Written()),
    // before that request leaves or, with `vanishAfterRequest`, right after
    // it (its answer never comes). -1: never.
    int vanishAtWrite = -1;
    bool vanishAfterRequest = true;
    // Keep every write for Written(); a long-running server turns it off.
    bool keepWritten = true;
};

class SimLoopbackPort final : public SerialPort {
public:
    SimLoopbackPort(SimDevice& device, Clock& clock) : device_(device), clock_(clock) {}

    LoopbackLine& Line() { return line_; }
    // The device on the other end, safely while a worker may be talking to it.
    template <class F>
    decltype(auto) WithDevice(F&& f) {
        std::lock_guard lock(mutex_);
        return f(device_);
    }
    // Everything written to the port, as the device side saw it.
    std::vector<std::vector<std::uint8_t>> Written();
    int OpenCount() const { return openCount_; }
    // Request frames that reached the device, answered or not.
    std::uint64_t FrameCount() const { return frames_; }
    // Once vanished by `vanishAtWrite`: the clock's time then, else -1.
    std::int64_t VanishedAtMs() const { return vanishedAt_; }
    // The modem is plugged in again: the port can be opened and works.
    void Replug();
    // The other end goes away, as a pseudo-terminal hangs up: reads report
    // the port gone and it cannot be opened again.
    void Unplug() { vanished_ = true; }

    bool Open(const std::string& path, int readSliceMs) override;
    void Close() override { open_ = false; }
    bool IsOpen() const override { return open_; }
    CarrierState Carrier() override;
    void PurgeInput() override;
    void PurgeOutput() override {}
    bool Write(const std::uint8_t* bytes, std::size_t n) override;
    ReadOutcome ReadByte(std::uint8_t& byte) override;
    bool ClearError() override { return false; }
    std::string LastError() const override { return lastError_; }
    bool Vanished() const override { return line_.gone || vanished_; }

private:
    struct Pending {
        std::int64_t readyAt;
        std::uint8_t byte;
    };

    SimDevice& device_;
    Clock& clock_;
    LoopbackLine line_;
    SimFrameAssembler assembler_;
    std::mutex mutex_;
    std::deque<Pending> incoming_;
    std::vector<std::vector<std::uint8_t>> written_;
    bool open_ = false;
    std::atomic<bool> vanished_{false};
    std::atomic<std::int64_t> vanishedAt_{-1};
    std::atomic<std::uint64_t> frames_{0};
    int openCount_ = 0;
    int readSliceMs_ = 100;
    std::string lastError_;
};

}  // namespace qt40::sim
