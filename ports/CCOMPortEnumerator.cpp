#include "ports/CCOMPortEnumerator.h"

#include "ports/PortRules.h"

#ifdef _WIN32
#include "ports/DeviceMapPorts.h"
#else
#include <QSerialPortInfo>

#include "ports/SysfsPorts.h"
#endif

namespace qt40 {

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
#if defined(Q_OS_LINUX)
    // From sysfs: Qt's listing opens each built-in UART to ask whether it is
    // there, which raises DTR and RTS on it, and on a port in use too.
    return SysfsPorts::Entries(SysfsPorts::Read());
#else
    std::vector<PortEntry> entries;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const std::string portName = info.portName().toStdString();
        const std::string description = info.description().toStdString();
        auto entry = EntryFromDeviceNode(portName, info.systemLocation().toStdString(), description);
        if (entry) entries.push_back(std::move(*entry));
    }
    return entries;
#endif
}
#endif

}  // namespace qt40
