#include "transport/TransportForName.h"

#include "transport/HartIpEndpoint.h"
#include "transport/SerialTransport.h"
#include "transport/SubDeviceTransport.h"
#ifdef _WIN32
#include "transport/Win32SerialPort.h"
#else
#include "transport/PosixSerialPort.h"
#endif

namespace qt40 {

bool IsNetworkPortName(std::string_view name) {
    return IsHartIpUrl(name);
}

bool IsSubDevicePortName(std::string_view name) {
    if (!IsHartIpUrl(name)) return false;
    const auto endpoint = ParseHartIpUrl(name);
    return endpoint && endpoint->SubDevice();
}

std::unique_ptr<FrameTransport> TransportForName(const std::string& name,
                                                 const TransportParts& parts) {
    if (IsSubDevicePortName(name)) {
        return std::make_unique<SubDeviceTransport>(
            std::make_unique<HartIpClient>(parts.hartIp, &parts.trace), SubDeviceOptions{},
            &parts.trace);
    }
    if (IsNetworkPortName(name)) return std::make_unique<HartIpClient>(parts.hartIp, &parts.trace);
    return std::make_unique<SerialTransport>(parts.serialPort, parts.clock, parts.trace,
                                             parts.timing);
}

std::unique_ptr<SerialPort> SystemSerialPort() {
#ifdef _WIN32
    return std::make_unique<Win32SerialPort>();
#else
    return std::make_unique<PosixSerialPort>();
#endif
}

}  // namespace qt40
