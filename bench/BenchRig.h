#pragma once
// What every link benchmark needs: the program's side of the line (port,
// link, worker, connection logic) with real timing, a recording view, prompts
// that answer as a benchmark needs, and a trace that counts the bytes on the
// line.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "link/CommWorker.h"
#include "procedures/ConnectionController.h"
#include "link/NotificationQueue.h"
#include "transport/PosixSerialPort.h"
#include "link/DataLink.h"
#include "base/Prompts.h"
#include "procedures/Station.h"

namespace qt40::bench {

// Counts the bytes of every "TX: " and "RX: " trace line ("FF," once per
// preamble received, then one "XX," per frame byte).
class ByteCountingTrace final : public TraceSink {
public:
    void Trace(std::string_view line) override {
        const bool tx = line.rfind("TX: ", 0) == 0;
        const bool rx = line.rfind("RX: ", 0) == 0;
        if (!tx && !rx) return;
        std::uint64_t n = 0;
        for (char c : line) n += c == ',';
        (tx ? txBytes : rxBytes) += n;
        if (rx) ++exchanges;
    }
    void Reset() { txBytes = rxBytes = exchanges = 0; }
    std::uint64_t txBytes = 0;
    std::uint64_t rxBytes = 0;
    std::uint64_t exchanges = 0;
};

class BenchPrompts final : public Prompts {
public:
    Answer Message(const std::string& key, const MessageArgs&, BoxType) override {
        lastKey = key;
        return Answer::Cancel;
    }
    std::optional<NumberResult> EnterNumber(const NumberEntry&) override { return {}; }
    std::optional<std::string> EnterText(const TextEntry&) override { return {}; }
    std::optional<SelectionResult> Select(const Selection&) override { return {}; }
    std::optional<std::string> OpenFileName(const FileRequest&) override { return {}; }
    std::optional<std::string> SaveFileName(const FileRequest&) override { return {}; }
    std::string lastKey;
};

class BenchView final : public ConnectionView {
public:
    void ShowProgress(ProgressKind, const std::string&) override {}
    void HideProgress(ProgressKind) override {}
    void SetProgress(float, int) override {}
    void MarkCommFailure() override { ++failures; }
    void ConnectionEstablished() override { established = true; }
    void ConnectionClosed() override {}
    void AddressChanged(int) override {}
    void PollCompleted(int) override { ++polls; }
    bool established = false;
    int failures = 0;
    long polls = 0;
};

class BenchRig {
public:
    explicit BenchRig(const std::string& portPath) {
        worker.SetReceiver(kReceiverConnectDevice);
        controller.SetPortName(portPath);
        controller.SetReconnectWaitMs(0);
    }
    ~BenchRig() { controller.StopConnection(); }

    // Hands notifications to the connection logic until `done` holds or
    // `limitMs` passes; false on the limit.
    bool PumpUntil(const std::function<bool()>& done, int limitMs = 120000) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (!done()) {
            if (std::chrono::steady_clock::now() > limit) return false;
            if (const auto next = queue.WaitNext(100)) {
                lastNotification = next->notification;
                if (onNotification) onNotification(next->notification);
                controller.HandleNotification(next->notification);
            }
        }
        return true;
    }

    PosixSerialPort port;
    SteadyClock clock;
    ByteCountingTrace trace;
    NotificationQueue queue;
    BenchPrompts prompts;
    BenchView view;
    Station station{{clock, port, trace, queue, prompts, view, LinkTiming{}}};
    DeviceState& session = station.Session();
    DataLink& link = station.Link();
    CommWorker& worker = station.Worker();
    ConnectionController& controller = station.Controller();
    Notification lastNotification;
    std::function<void(const Notification&)> onNotification;
};

inline double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace qt40::bench
