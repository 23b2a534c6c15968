#include "ports/CCOMPortEnumerator.h"

#include "ports/PortRules.h"

#ifdef _WIN32
#include "ports/DeviceMapPorts.h"
#else
#include <QSerialPortInfo>
#endif

#if defined(Q_OS_LINUX)
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace qt40 {

#ifndef _WIN32
namespace {

// Kernels create ttyS nodes for UARTs that may not exist; the driver reports
// those as of unknown type. Ports we cannot ask stay listed.
bool IsAbsentUart(const std::string& portName, const std::string& path) {
#if defined(Q_OS_LINUX)
    if (portName.rfind("ttyS", 0) != 0) return false;
    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return false;
    serial_struct serial{};
    const bool absent = ::ioctl(fd, TIOCGSERIAL, &serial) == 0 && serial.type == PORT_UNKNOWN;
    ::close(fd);
    return absent;
#else
    (void)portName;
    (void)path;
    return false;
#endif
}

}  // namespace
#endif

CCOMPortEnumerator::CCOMPortEnumerator(Source source) : source_(std::move(source)) {}

void CCOMPortEnumerator::Enumerate() {
    ports_.clear();
    try {
        ports_ = source_ ? source_() : std::vector<PortEntry>{};
    } catch (...) {
        ports_.clear();
    }
    SortAndDeduplicate(ports_);
}

#ifdef _WIN32
// Every port driver enters its ports in the registry's device map; the
// command-line tool lists the same.
std::vector<PortEntry> CCOMPortEnumerator::SystemPorts() {
    return DeviceMapPorts::Entries(DeviceMapPorts::Read());
}
#else
std::vector<PortEntry> CCOMPortEnumerator::SystemPorts() {
    std::vector<PortEntry> entries;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const std::string portName = info.portName().toStdString();
        const std::string description = info.description().toStdString();
        const std::string path = info.systemLocation().toStdString();
        if (IsAbsentUart(portName, path)) continue;
        auto entry = EntryFromDeviceNode(portName, path, description);
        if (entry) entries.push_back(std::move(*entry));
    }
    return entries;
}
#endif

}  // namespace qt40
