#pragma once
// A simulated I/O system (a remote I/O head or a HART multiplexer reached over
// HART-IP): a HART device of its own, with simulated transmitters on the
// loops of its cards and channels. It answers command 0 at polling address 0
// and every command at its own long address, and reaches the devices behind
// it only through command 77, with delayed responses: the first request is
// answered 33 at once, repeats of the identical request 34 until the loop
// exchange is over, then the real answer. A loop exchange takes what a
// 1200 bit/s loop takes for its bytes, preambles included, plus the device's
// turnaround; each channel has a loop of its own, so channels work side by
// side. Time comes from an injected clock, so tests run on virtual time.
//
// Safe to call from several threads; one request is handled at a time.

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "base/Clock.h"
#include "sim/SimHartIpServer.h"
#include "sim/SimMultidrop.h"

namespace qt40::sim {

// The I/O system's own identity (HART 7 form).
inline constexpr std::uint16_t kIoSystemManufacturerId = 0x003F;
// A first byte with its top two bits set: the long address masks them.
inline constexpr std::uint16_t kIoSystemExpandedDeviceType = 0xE0A4;
inline constexpr std::uint32_t kIoSystemDeviceId = 0x10C001;
// Device profile 4, "I/O System", of the HART common tables.
inline constexpr std::uint8_t kIoSystemProfile = 4;
inline constexpr std::uint8_t kIoSystemUniversalRev = 7;
inline constexpr std::uint8_t kIoSystemDeviceRev = 1;

// The I/O system's own response codes to command 77 (and 74, 84).
enum IoSystemCode : std::uint8_t {
    kRcInvalidCard = 21,
    kRcInvalidChannel = 22,
    kRcDelayedDead = 35,
    kRcDelayedConflict = 36,
};

// How long the I/O system listens for a sub-device's answer before it counts
// a try as silent.
inline constexpr int kIoLoopAnswerWaitMs = 300;

struct SimIoSystemOptions {
    int cards = 1;              // numbered 0 .. cards-1
    int channels = 8;           // per card, numbered 0 .. channels-1
    int devicesPerChannel = 1;  // at polling addresses 0 .. devicesPerChannel-1
    // Device i on a channel is models[i], or the last given (QT40 when none).
    std::vector<SimModel> models;
    // Channels (card, channel) set apart: none for an empty one, else the
    // model of every device on it.
    std::map<std::pair<int, int>, std::optional<SimModel>> channelModels;
    // The device at card c, channel h, polling address a has the device ID
    // firstDeviceId + c * 4096 + h * 64 + a.
    std::uint32_t firstDeviceId = 0x400000;
    int maxDelayed = 4;     // delayed responses held at once
    int retries = 2;        // more tries after a silent or garbled answer
    int turnaroundMs = 20;  // the devices' turnaround on their loop
    // Every loop exchange takes this long instead of its bytes' time (for benchmarks).
    std::optional<int> exchangeMs;
    // A held answer nobody asks for this long after it was ready (or last
    // asked for) is forgotten.
    int holdMs = 30000;
};

// The largest card and channel counts: tags and device IDs number them in
// two decimal digits and six bits.
inline constexpr int kIoMaxCards = 64;
inline constexpr int kIoMaxChannels = 64;

// Parses "CxH" (cards x channels, e.g. "2x8") into `options`. Returns an
// error text, or nothing.
std::optional<std::string> ApplyIoSystemSize(const std::string& text, SimIoSystemOptions& options);
// Parses "C/H=empty" or "C/H=MODEL" (a name ModelFromName knows) for one channel.
std::optional<std::string> ApplyIoChannelSwitch(const std::string& text,
                                                SimIoSystemOptions& options);

class SimIoSystem {
public:
    // `clock` must outlive the system; a steady clock of its own when null.
    explicit SimIoSystem(SimIoSystemOptions options = {}, Clock* clock = nullptr);
    SimIoSystem(const SimIoSystem&) = delete;
    SimIoSystem& operator=(const SimIoSystem&) = delete;

    // A request frame from its delimiter through its check byte (no
    // preambles, as a HART-IP message carries it) to the answer frame, or
    // silence for a broken frame or one addressed to anyone else.
    std::optional<std::vector<std::uint8_t>> Handle(std::span<const std::uint8_t> request);
    // Serves the system as a gateway's loop; the system must outlive it.
    GatewayResponder Responder();

    // Its long address: the expanded device type with the top two bits of
    // its first byte masked, then the device ID.
    static std::array<std::uint8_t, 5> LongAddress();

    const SimIoSystemOptions& Options() const { return options_; }
    // Sub-devices on the channel (0 for an empty one).
    std::size_t DevicesOn(int card, int channel);
    // Device `index` on a channel, under the system's lock.
    template <class F>
    decltype(auto) WithDevice(int card, int channel, std::size_t index, F&& f) {
        std::lock_guard lock(mutex_);
        return Loop(card, channel)->WithDevice(index, std::forward<F>(f));
    }
    // Every device of every channel, for fault switches and the like.
    template <class F>
    void ForEachDevice(F&& f) {
        std::lock_guard lock(mutex_);
        for (auto& loop : loops_) {
            if (!loop) continue;
            for (std::size_t i = 0; i < loop->Size(); ++i) loop->WithDevice(i, f);
        }
    }
    // Delayed responses held now (running, or ready and not yet collected).
    std::size_t Held();

private:
    struct Outcome {
        std::uint8_t code = 0;
        std::vector<std::uint8_t> data;
    };
    // A delayed response: the command 77 data it answers and what it answers.
    struct Delayed {
        std::vector<std::uint8_t> request;
        int card = 0;
        int channel = 0;
        std::int64_t readyAt = 0;
        std::int64_t lastAskedAt = 0;
        Outcome outcome;
    };
    // What one sub-device exchange gave: its answer from the delimiter
    // through the data, or none; and the loop time it took.
    struct Exchange {
        std::optional<std::vector<std::uint8_t>> answer;
        std::int64_t ms = 0;
    };
    // One identity row of command 84.
    struct SubDevice {
        int card = 0;
        int channel = 0;
        SimState state;
    };

    Outcome Execute(std::uint8_t command, std::span<const std::uint8_t> data);
    Outcome Identity() const;
    Outcome Capabilities();
    Outcome SubDeviceSummary(std::span<const std::uint8_t> data);
    Outcome SendToSubDevice(std::span<const std::uint8_t> data);
    Exchange RunOnLoop(SimMultidrop* loop, std::span<const std::uint8_t> frame, int preambles);
    std::vector<SubDevice> Found();
    void Forget(std::int64_t now);
    SimMultidrop* Loop(int card, int channel);

    SimIoSystemOptions options_;
    SteadyClock steady_;
    Clock* clock_;
    std::mutex mutex_;
    // Card-major; null for an empty channel.
    std::vector<std::unique_ptr<SimMultidrop>> loops_;
    std::vector<Delayed> delayed_;
};

}  // namespace qt40::sim
