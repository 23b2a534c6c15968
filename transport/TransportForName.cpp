#include "transport/TransportForName.h"

#include "transport/HartIpEndpoint.h"
#include "transport/SerialTransport.h"
#ifdef _WIN32
#include "transport/Win32SerialPort.h"
#else
#include "transport/PosixSerialPort.h"
#endif

namespace qt40 {

bool IsNetworkPortName(std::string_view name) { return IsHartIpUrl(name); }

std::unique_ptr<FrameTransport> TransportForName(const std::string& name, const TransportParts& parts) {
    if (IsNetworkPortName(name)) return std::make_unique<HartIpClient>(parts.hartIp, &parts.trace);
    return std::make_unique<SerialTransport>(parts.serialPort, parts.clock, parts.trace, parts.timing);
}

std::unique_ptr<SerialPort> SystemSerialPort() {
#ifdef _WIN32
    return std::make_unique<Win32SerialPort>();
#else
    return std::make_unique<PosixSerialPort>();
#endif
}

}  // namespace qt40
