#pragma once
// What a transport of the simulator serves: a request frame as the master
// sent it (preambles allowed) in, the answer or silence out. A SimDevice and a
// SimMultidrop loop are both served through it.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "sim/SimDevice.h"

namespace qt40::sim {

using SimResponder = std::function<std::optional<SimReply>(std::span<const std::uint8_t>)>;

}  // namespace qt40::sim
