#pragma once
// What the fleet runner found at one polling address of one endpoint.

#include <cstddef>
#include <cstdint>
#include <string>

#include "model/DeviceRecord.h"

namespace qt40::fleet {

struct FleetDevice {
    enum class Kind {
        Qt40,        // identified and uploaded: `record` holds the whole upload
        OtherModel,  // answered, but is not a QT40: identity only, skipped
        Failed,      // answered, then the identification or upload failed: `error`
    };
    std::size_t target = 0;  // index of its line among the targets
    std::string endpoint;
    int address = 0;
    Kind kind = Kind::Qt40;
    DeviceRecord record;
    std::uint8_t deviceStatus = 0;  // of the last answer of the upload
    std::string error;
    // From the identity answer: what names a model no table of ours knows.
    std::uint8_t manufacturerCode = 0;
    std::uint8_t deviceTypeCode = 0;

    // The model by name, or by its codes where the name is not known:
    // "manufacturer code 0x26, device type 0xE4".
    std::string Model() const;
};

// One endpoint done: `error` says why it was given up (empty when it was not).
struct FleetEndpoint {
    std::size_t target = 0;
    std::string endpoint;
    int devices = 0;  // that answered
    std::string error;
};

struct FleetProgress {
    int endpointsDone = 0;
    int endpoints = 0;
    int devices = 0;  // that answered, of any model
    int failed = 0;   // endpoints given up and devices whose upload failed
};

}  // namespace qt40::fleet
