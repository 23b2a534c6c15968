#pragma once
// The one place that turns a port name into what a connection talks through:
// a hartip:// or hartip+udp:// name is a HART-IP gateway, one with /CARD/CHANNEL
// a device behind an I/O system reached through command 77, any other name a
// serial port (a device path, COM3, \\.\COM12). A new kind of endpoint is added
// here.

#include <memory>
#include <string>
#include <string_view>

#include "base/Clock.h"
#include "base/LinkTiming.h"
#include "base/TraceSink.h"
#include "transport/FrameTransport.h"
#include "transport/HartIpClient.h"
#include "transport/SerialPort.h"

namespace qt40 {

// What the transport for a name is built from.
struct TransportParts {
    SerialPort& serialPort;  // the port a serial name is opened on
    Clock& clock;
    TraceSink& trace;
    LinkTiming timing;
    HartIpClientOptions hartIp;
};

// True for a name that reaches its devices over the network.
bool IsNetworkPortName(std::string_view name);
// True for a network name that names a card and channel of an I/O system.
bool IsSubDevicePortName(std::string_view name);
// The transport for `name`, unopened.
std::unique_ptr<FrameTransport> TransportForName(const std::string& name,
                                                 const TransportParts& parts);
// The system's serial port (termios, or Win32 on Windows), unopened.
std::unique_ptr<SerialPort> SystemSerialPort();

}  // namespace qt40
