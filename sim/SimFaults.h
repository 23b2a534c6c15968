#pragma once
// Faults the simulated transmitter can inject into its answers.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qt40::sim {

// How many more answers a fault hits: 0 none, -1 every one. With `every` set,
// it hits every every-th answer instead, for as long as the device runs.
struct FaultCount {
    int remaining = 0;
    int every = 0;
    int seen = 0;
    bool Take() {
        if (every > 0) return ++seen % every == 0;
        if (remaining == 0) return false;
        if (remaining > 0) --remaining;
        return true;
    }
};

struct SimFaults {
    FaultCount dropAnswer;       // no answer at all
    FaultCount corruptChecksum;  // answer with a wrong checksum
    FaultCount busy;             // response code 32, nothing done (the master asks again)
    FaultCount refuse;           // response code 6 (device-specific command error), nothing done
    FaultCount noise;            // line noise before the preambles
    std::vector<std::uint8_t> noiseBytes{0x13, 0x00, 0xA5};
    FaultCount gap;              // a pause inside the answer
    std::size_t gapAfterByte = 8;  // counted from the first preamble
    int gapMs = 600;
    // Every mixed.every-th answer gets the next of drop, noise, checksum, gap
    // in turn: faults every few answers, never two in one answer.
    FaultCount mixed;
    int mixedNext = 0;
    std::map<std::uint8_t, std::uint8_t> responseCodeFor;  // command → code, every time
    // Delayed responses, as an I/O system or a slow device gives them: a
    // request of the command is carried out at once but answered "delayed
    // response initiated" (33), its repeats "running" (34) N times, and only
    // the next repeat gets the real answer. A request of another command in
    // between ends the delayed response unanswered.
    std::map<std::uint8_t, int> delayedFor;  // command → N
    std::optional<int> delayedForEvery;      // the same for every command
    // When set, the counted faults above hit only answers to this command.
    std::optional<std::uint8_t> onlyCommand;
};

// Parses one fault switch of the command line into `faults`. Forms:
// "drop[:N]", "checksum[:N]", "busy[:N]", "refuse[:N]", "noise[:N]", "gap[:N]", "code:CMD=RC",
// "delayed:CMD=N" or "delayed:*=N" (33, then 34 N times, then the answer),
// "only:CMD" (the counted faults hit only that command), and "drop@N" etc.
// (every N-th answer, for ever); "mix@N" (every N-th answer one of drop,
// noise, checksum, gap in turn). N defaults to 1; "*" means every answer. Returns an error text, or nothing.
std::optional<std::string> ApplyFaultSwitch(const std::string& text, SimFaults& faults);

}  // namespace qt40::sim
