#pragma once
// What a faultless master would show of the simulator's answers: every
// answer that leaves the simulator is decoded as the worker decodes it, and
// each accepted end of a poll cycle (command 48) writes the line that
// `monitor` prints for it. A long run compares the two, so a value the
// master shows that the simulator never sent is found.

#include <cstdint>
#include <fstream>
#include <string>

#include "hart/HartSession.h"
#include "sim/SimDevice.h"

namespace qt40::cli {

class SimValueLog {
public:
    // False when the file cannot be created.
    bool Open(const std::string& path);
    // Any thread, one at a time (the simulator calls it under its device lock).
    void Observe(const sim::SimReply& reply);
    std::uint64_t Lines() const { return lines_; }

private:
    std::ofstream file_;
    HartSession session_;
    std::uint64_t lines_ = 0;
};

}  // namespace qt40::cli
