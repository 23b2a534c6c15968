#pragma once
// Several simulated transmitters on one multidrop loop: each request reaches
// every device, and only the one it is addressed to (by polling address for
// command 0, by long address otherwise) answers. Safe to call from several
// threads: a loop carries one transaction at a time, and so does this.

#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/SimDevice.h"
#include "sim/SimResponder.h"

namespace qt40::sim {

class SimMultidrop {
public:
    explicit SimMultidrop(std::vector<SimDevice> devices);

    // `count` transmitters at polling addresses 1..count, device IDs
    // firstDeviceId, firstDeviceId + 1, ... and tags "TT-101", "TT-102", ...;
    // device i gets models[i], or the last model given (QT40 when none).
    static SimMultidrop Plant(int count, std::uint32_t firstDeviceId,
                              const std::vector<SimModel>& models = {});

    // The answer of the device the frame is for, or silence.
    std::optional<SimReply> Handle(std::span<const std::uint8_t> request);
    // Serves this loop; the loop must outlive the responder.
    SimResponder Responder();

    std::size_t Size() const { return devices_.size(); }
    // Device `index` (0-based), under the loop's lock.
    template <class F>
    decltype(auto) WithDevice(std::size_t index, F&& f) {
        std::lock_guard lock(mutex_);
        return f(devices_.at(index));
    }

    SimMultidrop(SimMultidrop&& other) noexcept;

private:
    std::mutex mutex_;
    std::vector<SimDevice> devices_;
};

}  // namespace qt40::sim
