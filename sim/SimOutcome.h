#pragma once
// What the simulated device makes of one command: a response code and the
// data bytes that follow the status (none when it refuses).

#include <cstdint>
#include <vector>

namespace qt40::sim {

struct SimOutcome {
    std::uint8_t code = 0;  // success
    std::vector<std::uint8_t> data;
};

}  // namespace qt40::sim
