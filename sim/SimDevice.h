#pragma once
// A simulated QT40: takes a request frame as a master sends it and returns the
// frame a real transmitter would answer with, or silence. Pure request/answer
// handling; transports (loopback port, pseudo-terminal) only move bytes.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/SimFaults.h"
#include "sim/SimOutcome.h"
#include "sim/SimState.h"
#include "hart/FrameAssembler.h"

namespace qt40::sim {

// A request as the device took it, for tests that check what went over the wire.
struct SimRequest {
    std::uint8_t command = 0;
    std::vector<std::uint8_t> data;
};

struct SimReply {
    std::vector<std::uint8_t> bytes;  // noise, preambles, frame
    std::size_t gapAfter = SIZE_MAX;  // transports pause `gapMs` after this many bytes
    int gapMs = 0;
};

// HART response codes the device refuses with.
enum ResponseCode : std::uint8_t {
    kRcSuccess = 0,
    kRcInvalidSelection = 2,
    kRcParameterTooLarge = 3,
    kRcParameterTooSmall = 4,
    kRcTooFewDataBytes = 5,
    kRcDeviceSpecific = 6,
    kRcWrongMode = 9,  // also "lower range value too high" for command 35
    kRcLowerRangeTooHigh = 9,
    kRcLowerRangeTooLow = 10,
    kRcUpperRangeTooHigh = 11,
    kRcUpperRangeTooLow = 12,
    kRcBothRangesOutOfLimits = 13,
    kRcSpanTooSmall = 14,
    kRcBusy = 32,
    kRcDelayedInitiated = 33,
    kRcDelayedRunning = 34,
    kRcNotImplemented = 64,
};

std::optional<SimModel> ModelFromName(const std::string& name);
const char* ModelName(SimModel model);

class SimDevice {
public:
    explicit SimDevice(SimModel model = SimModel::QT40, std::uint8_t pollingAddress = 0);

    // `request` may start with preambles. Silence for a frame that is not for
    // this device, a broken frame, or a dropped answer.
    std::optional<SimReply> Handle(std::span<const std::uint8_t> request);

    SimState& State() { return state_; }
    const SimState& State() const { return state_; }
    SimFaults& Faults() { return faults_; }
    // Keeps every request addressed to this device from now on (or stops).
    void RecordRequests(bool on) {
        recording_ = on;
        heard_.clear();
    }
    const std::vector<SimRequest>& Heard() const { return heard_; }

    // The live values as the device would report them now.
    double PvValue() const;
    double PercentOfRange() const;
    double LoopCurrent() const;

private:
    using Outcome = SimOutcome;
    Outcome Execute(std::uint8_t command, std::span<const std::uint8_t> data);
    std::uint8_t StatusByte();

    // A delayed response under way: the request it answers (from its
    // delimiter, checksum aside) and what it will answer.
    struct Delayed {
        std::vector<std::uint8_t> request;
        int running = 0;  // "running" answers still to give
        Outcome outcome;
    };

    SimState state_;
    SimFaults faults_;
    std::optional<Delayed> delayed_;
    bool recording_ = false;
    std::vector<SimRequest> heard_;
};

// Cuts master request frames out of a byte stream, for transports.
class SimFrameAssembler {
public:
    // Feeds one byte; returns a complete frame (from its delimiter) when this
    // byte ended one. Frames with a wrong checksum are returned too: the device
    // decides what to do with them.
    std::optional<std::vector<std::uint8_t>> Feed(std::uint8_t byte);
    void Reset();

private:
    // A master's frame after two preambles at least, its plain delimiter only.
    FrameAssembler assembler_{FrameAssembler::Accepts{FrameKind::Request, 2, true}};
};

}  // namespace qt40::sim
