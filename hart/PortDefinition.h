#pragma once
// What opening a port is told: the port's name and the line setting, as one
// text "NAME: baud=9600 parity=N data=8 stop=1". The name is everything
// before that settings part, colons included, so that stable names such as
// /dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0 stay whole.

#include <string>
#include <string_view>

#include "LineSetting.h"

namespace qt40 {

struct PortDefinition {
    std::string name;  // empty: the text names no port
    LineSetting line;

    // Splits a definition. A trailing ":" with nothing or only settings
    // after it is the separator; without one the whole text is the name and
    // the line is the default. A name made only of colons is no name.
    static PortDefinition Parse(std::string_view definition);
    // The text Parse reads back into `name` and `line`.
    static std::string Text(const std::string& name, const LineSetting& line);

    // A network address ("hartip://host:5094", "hartip+udp://..."), opened by
    // another transport; every other name is a device path.
    static bool IsUrl(std::string_view name);
};

}  // namespace qt40
