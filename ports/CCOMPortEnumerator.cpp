#include "ports/CCOMPortEnumerator.h"

#include <QSerialPortInfo>

#include "ports/PortRules.h"
#include "ports/SysfsPorts.h"

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
#ifdef Q_OS_WIN
        auto entry = EntryFromSerialPortId(portName, description);
#else
        auto entry = EntryFromDeviceNode(portName, info.systemLocation().toStdString(), description);
#endif
        if (entry) entries.push_back(std::move(*entry));
    }
    return entries;
#endif
}

}  // namespace qt40
