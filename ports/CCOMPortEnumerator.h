#pragma once
// Builds the list of serial ports. Enumerate runs on the enumeration thread
// and touches nothing but the list; the list is read after it has returned.

#include <functional>
#include <vector>

#include "ports/PortEntry.h"

namespace qt40 {

class CCOMPortEnumerator {
public:
    // Where the raw entries come from: the system listing, or a test's.
    using Source = std::function<std::vector<PortEntry>()>;

    explicit CCOMPortEnumerator(Source source = SystemPorts);

    // Rebuilds the list: the source's entries, sorted and de-duplicated. A
    // failing source leaves an empty list.
    void Enumerate();
    const std::vector<PortEntry>& Ports() const { return ports_; }

    // The serial ports the system reports, in the entry format of this
    // platform ("COM<n>" on Windows, device nodes elsewhere), unsorted.
    static std::vector<PortEntry> SystemPorts();

private:
    Source source_;
    std::vector<PortEntry> ports_;
};

}  // namespace qt40
