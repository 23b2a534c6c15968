#pragma once
// What a master may show of the simulator's answers: every answer that
// leaves the simulator is decoded as the worker decodes it, and each one of
// command 3 writes the PV and terminal parts of the line `monitor` prints,
// each one of command 2 the PV% and AO parts ("3|PV 25.87 degC|Term. 23.50
// degC", "2|PV% 25.87 %|AO 8.14 mA"). A long run holds every monitor line
// to them, so a value the master shows that the simulator never sent is found.

#include <cstdint>
#include <fstream>
#include <string>

#include "hart/DeviceState.h"
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
    DeviceState session_;
    std::uint64_t lines_ = 0;
};

}  // namespace qt40::cli
