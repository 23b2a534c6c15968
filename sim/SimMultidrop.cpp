#include "sim/SimMultidrop.h"

#include <cstdio>

namespace qt40::sim {

SimMultidrop::SimMultidrop(std::vector<SimDevice> devices) : devices_(std::move(devices)) {}

SimMultidrop::SimMultidrop(SimMultidrop&& other) noexcept {
    std::lock_guard lock(other.mutex_);
    devices_ = std::move(other.devices_);
}

SimMultidrop SimMultidrop::Plant(int count, std::uint32_t firstDeviceId,
                                 const std::vector<SimModel>& models) {
    std::vector<SimDevice> devices;
    for (int i = 0; i < count; ++i) {
        const SimModel model = models.empty() ? SimModel::QT40
                               : static_cast<std::size_t>(i) < models.size()
                                   ? models[static_cast<std::size_t>(i)]
                                   : models.back();
        SimDevice device(model, static_cast<std::uint8_t>(i + 1));
        SimState& s = device.State();
        s.deviceId = (firstDeviceId + static_cast<std::uint32_t>(i)) & 0xFFFFFF;
        char tag[16];
        std::snprintf(tag, sizeof tag, "TT-%-5d", 101 + i);  // padded to 8, as the device keeps it
        s.tag = tag;
        devices.push_back(std::move(device));
    }
    return SimMultidrop(std::move(devices));
}

std::optional<SimReply> SimMultidrop::Handle(std::span<const std::uint8_t> request) {
    std::lock_guard lock(mutex_);
    // Devices that share an address would both answer and garble the loop;
    // the first one speaks here.
    for (SimDevice& device : devices_) {
        if (auto reply = device.Handle(request)) return reply;
    }
    return std::nullopt;
}

SimResponder SimMultidrop::Responder() {
    return [this](std::span<const std::uint8_t> request) { return Handle(request); };
}

}  // namespace qt40::sim
