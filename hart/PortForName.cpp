#include "hart/PortForName.h"

#ifdef _WIN32
#include "hart/Win32SerialPort.h"
#else
#include "hart/PosixSerialPort.h"
#endif

namespace qt40 {

std::unique_ptr<SerialPort> PortForName(const std::string& /*name*/) {
#ifdef _WIN32
    return std::make_unique<Win32SerialPort>();
#else
    return std::make_unique<PosixSerialPort>();
#endif
}

}  // namespace qt40
