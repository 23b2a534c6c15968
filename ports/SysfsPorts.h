#pragma once
// The serial ports the Linux kernel lists under /sys/class/tty, read from
// sysfs alone: opening a tty to ask about it raises DTR and RTS for a moment,
// on a modem in use too. A tty with a driver behind it is a port; a UART the
// serial core made for hardware that is not there reports type 0
// (PORT_UNKNOWN) and is left out, as is a console or a pseudo-terminal.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "ports/PortEntry.h"

namespace qt40 {

class SysfsPorts {
public:
    struct Node {
        std::string name;             // "ttyUSB0"; "!" stands for "/" in a node path
        bool hasDriver = false;       // a device with a driver behind it
        std::optional<int> uartType;  // the serial core's "type" attribute
        std::string product;          // the USB device's product text, if any
    };

    // The entries of the listed ports, opened through `devDir`, sorted and
    // each port name kept once.
    static std::vector<PortEntry> Entries(const std::vector<Node>& nodes,
                                          const std::filesystem::path& devDir = "/dev");

    // What `classDir` says about each tty; nothing where it cannot be read.
    static std::vector<Node> Read(const std::filesystem::path& classDir = "/sys/class/tty");
};

}  // namespace qt40
