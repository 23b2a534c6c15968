#pragma once
// The serial ports in the Windows registry's serial-communications device map
// (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM): one value a port, named after the
// kernel device ("\Device\Serial0") and holding the port name ("COM1"). Every
// port driver writes it, so it needs neither Qt nor the setup library.

#include <string>
#include <vector>

#include "ports/PortEntry.h"

namespace qt40 {

class DeviceMapPorts {
public:
    struct Value {
        std::string device;  // the value's name
        std::string data;    // its text, as stored
        bool isText = true;  // REG_SZ; anything else is no port
    };

    // The entries the registry port-name rule accepts, with the kernel
    // device as description, sorted and each port name kept once.
    static std::vector<PortEntry> Entries(const std::vector<Value>& values);

    // The map's values now; none where the key is missing (no port was ever
    // installed) or off Windows.
    static std::vector<Value> Read();
};

}  // namespace qt40
