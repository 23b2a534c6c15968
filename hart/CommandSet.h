#pragma once
// Every HART command the configurator sends: its request byte count, the
// fields of its request and answer (CommandLayout), and what the fields alone
// do not say: the encoder and decoder steps around them.

#include <cstdint>
#include <span>

#include "hart/CommandLayout.h"

namespace qt40 {

struct DeviceState;

// Runs after the request fields are written.
using CommandEncoder = void (*)(DeviceState&);
// Runs after the answer fields are stored; false refuses the answer.
using CommandDecoder = bool (*)(DeviceState&);

struct CommandStep {
    std::uint8_t command = 0;
    std::uint8_t byteCount = 0;
    CommandDecoder decoder = nullptr;       // absent when the fields say it all
    CommandEncoder encoder = nullptr;       // absent when the fields say it all
    const CommandLayout* layout = nullptr;  // absent only in the list terminator
};

inline constexpr CommandStep kListEnd{0xFF, 0xFF, nullptr, nullptr, nullptr};

// Steps of a terminated command list, terminator excluded.
std::span<const CommandStep> StepsOf(const CommandStep* list);

// The step that sends `command` on its own, or nullptr for an unknown command.
// Command 45 and 46 share one step (the DAC trim point chooses).
const CommandStep* FindCommand(std::uint8_t command);

// The fields and name of a command the configurator knows (46 too, and the
// I/O system's 74, 77 and 84), or nullptr.
const CommandLayout* FindLayout(std::uint8_t command);

// Sets command and byte count, clears the request bytes, writes the request
// fields and runs the encoder.
void PrepareRequest(DeviceState& session, const CommandStep& step);
// Stores the fields of an accepted answer and runs the decoder. False, storing
// nothing, when the answer is too short for its fields: stale bytes of an
// earlier answer are never taken for values.
bool DecodeAnswer(DeviceState& session, const CommandStep& step);

// PV range and sensor range: moves a value that lies on a sensor limit
// (compared at three decimals) 0.0001 inside it, keeping a minimum span.
struct RangePair {
    double upper;
    double lower;
};
RangePair AdjustRangeToLimits(double upper, double lower, double upperSensorLimit,
                              double lowerSensorLimit, double minimumSpan);

}  // namespace qt40
