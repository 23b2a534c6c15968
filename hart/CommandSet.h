#pragma once
// Every HART command the configurator sends: its request byte count, the
// encoder that fills the request from the write buffer and the decoder that
// stores the answer in the device record.

#include <cstdint>
#include <span>

namespace qt40 {

struct HartSession;

using CommandEncoder = void (*)(HartSession&);
// Returns false when the answer is too short for what the command carries, so
// that stale bytes of an earlier answer are never taken for values.
using CommandDecoder = bool (*)(HartSession&);

struct CommandStep {
    std::uint8_t command = 0;
    std::uint8_t byteCount = 0;
    CommandDecoder decoder = nullptr;  // absent only in the list terminator
    CommandEncoder encoder = nullptr;  // absent when the request has no data
};

inline constexpr CommandStep kListEnd{0xFF, 0xFF, nullptr, nullptr};

// Steps of a terminated command list, terminator excluded.
std::span<const CommandStep> StepsOf(const CommandStep* list);

// The step that sends `command` on its own, or nullptr for an unknown command.
// Command 45 and 46 share one step (the DAC trim point chooses).
const CommandStep* FindCommand(std::uint8_t command);

// Sets command and byte count, clears the request bytes and runs the encoder.
void PrepareRequest(HartSession& session, const CommandStep& step);
// Runs the decoder of an accepted answer.
bool DecodeAnswer(HartSession& session, const CommandStep& step);

// PV range and sensor range: moves a value that lies on a sensor limit
// (compared at three decimals) 0.0001 inside it, keeping a minimum span.
struct RangePair {
    double upper;
    double lower;
};
RangePair AdjustRangeToLimits(double upper, double lower, double upperSensorLimit,
                              double lowerSensorLimit, double minimumSpan);

}  // namespace qt40
