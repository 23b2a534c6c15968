#pragma once
// The simulated transmitter behind a new pseudo-terminal: a client opens
// SlavePath() like a serial port and talks HART to it. The server thread cuts
// request frames out of the byte stream, lets the SimDevice answer and writes
// the answer back, paced like a 1200 bit/s loop when asked to.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "sim/SimDevice.h"
#include "sim/SimResponder.h"

namespace qt40::sim {

struct SimPtyOptions {
    // Requests and answers take their time on the loop; otherwise answer at once.
    bool realtime = false;
    int turnaroundMs = 20;  // device think time before an answer (realtime only)
    int bitsPerByte = 11;
    int bitsPerSecond = 1200;
};

class SimPtyServer {
public:
    explicit SimPtyServer(SimDevice device = SimDevice{}, SimPtyOptions options = {});
    // Serves `responder` instead of a device of its own (a multidrop loop);
    // WithDevice() then reaches an idle device nobody talks to.
    explicit SimPtyServer(SimResponder responder, SimPtyOptions options = {});
    ~SimPtyServer();
    SimPtyServer(const SimPtyServer&) = delete;
    SimPtyServer& operator=(const SimPtyServer&) = delete;

    // Creates the pseudo-terminal and starts serving. False with LastError()
    // when the system refuses one.
    bool Start();
    // Stops the thread and closes the pseudo-terminal: an open client sees
    // the line hang up. Safe to call twice.
    void Stop();
    bool Running() const { return running_; }

    // The node a client opens ("/dev/pts/N"); empty before Start().
    const std::string& SlavePath() const { return slavePath_; }
    const std::string& LastError() const { return lastError_; }
    const SimPtyOptions& Options() const { return options_; }

    // The device, for tests and the command-line tool, under the lock the
    // server thread takes for each request.
    template <class F>
    decltype(auto) WithDevice(F&& f) {
        std::lock_guard lock(deviceMutex_);
        return f(device_);
    }

    // Sees every answer as it leaves (faults included), on the server thread
    // under the device lock. Set before Start().
    void ObserveAnswers(std::function<void(const SimReply&)> observer) {
        observer_ = std::move(observer);
    }

    // Request frames that reached the device, answered or not.
    std::uint64_t RequestCount() const { return requests_; }
    // Answer bytes written, preambles and noise included.
    std::uint64_t BytesSent() const { return bytesSent_; }

private:
    void Serve();
    void Answer(const SimReply& reply);
    // Writes everything, waiting for room; false when stopping or the line broke.
    bool WriteAll(const std::uint8_t* bytes, std::size_t n);
    // Sleeps, but wakes early on Stop(); false when stopping.
    bool Pause(int ms);
    void Wake();
    void CloseAll();
    std::chrono::nanoseconds ByteTime() const;

    SimDevice device_;
    SimResponder responder_;
    SimPtyOptions options_;
    std::mutex deviceMutex_;
    std::function<void(const SimReply&)> observer_;
    int master_ = -1;
    int slaveKeeper_ = -1;  // keeps the line usable while no client has it open
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::string slavePath_;
    std::string lastError_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> requests_{0};
    std::atomic<std::uint64_t> bytesSent_{0};
};

}  // namespace qt40::sim
