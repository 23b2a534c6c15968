#pragma once
// The rules that turn what the system reports into port list entries. Pure
// functions, so they are tested with made-up input on any platform.

#include <optional>
#include <string>
#include <vector>

#include "ports/PortEntry.h"

namespace qt40 {

// Port "COM<n>": opened by its name below 10, through "\\.\COM<n>" from 10 on.
PortEntry EntryFromNumber(unsigned number, std::string description);

// A device id "COM" + digits, where ':' may appear among the digits (as the
// serial-port class reports it, "COM3:"). The description gets " (COM<n>)"
// appended unless it already names the port. Nothing for any other id.
std::optional<PortEntry> EntryFromSerialPortId(const std::string& deviceId,
                                               const std::string& name);

// A registry port name "COM" + digits only; the description is taken as is.
std::optional<PortEntry> EntryFromRegistryPortName(const std::string& portName,
                                                   const std::string& friendlyName);

// A device node as a Unix-like system lists it: the node name (ttyUSB0) is
// the port name, the full path (/dev/ttyUSB0) the open name. The description
// names the port too, so two adapters of one kind can be told apart.
std::optional<PortEntry> EntryFromDeviceNode(const std::string& portName,
                                             const std::string& systemLocation,
                                             const std::string& description);

// Sorted by port name in plain character order (COM10 before COM2), each
// port name kept once.
void SortAndDeduplicate(std::vector<PortEntry>& entries);

}  // namespace qt40
