#pragma once
// One line of a targets file: an endpoint and the polling addresses to try on it.

#include <string>
#include <vector>

namespace qt40::fleet {

struct FleetTarget {
    std::string endpoint;        // a serial port path or a hartip:// / hartip+udp:// URL
    std::vector<int> addresses;  // ascending, each 0..15, at least one
    int line = 0;                // where it stands in the targets file, from 1
};

}  // namespace qt40::fleet
