#pragma once
// The one place that turns a port name into the line a connection talks
// through. Every connection opens its port through here, so a new kind of
// endpoint is added in this one function.

#include <memory>
#include <string>

#include "hart/SerialPort.h"

namespace qt40 {

// An unopened port for `name`; today always the system's serial port (a
// device path, COM3, \\.\COM12), whatever the name looks like.
std::unique_ptr<SerialPort> PortForName(const std::string& name);

}  // namespace qt40
