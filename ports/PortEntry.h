#pragma once
// One serial port as the connection panel lists it.

#include <string>

namespace qt40 {

struct PortEntry {
    std::string openName;     // what the port is opened with: "COM3", "\\.\COM12", "/dev/ttyUSB0"
    std::string portName;     // what the settings store and the list sorts by: "COM3", "ttyUSB0"
    std::string description;  // what the list shows

    bool operator==(const PortEntry&) const = default;
};

}  // namespace qt40
