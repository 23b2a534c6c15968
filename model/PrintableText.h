#pragma once
// Text from a file or a device, made safe to print on a terminal: control
// characters (C0, DEL, C1), the direction overrides that reorder a line, and
// bytes that are no UTF-8 become visible escapes (\n, \x1B, \u202E), so a
// forged comment or tag can neither steer the terminal nor pass for a line of
// the program's own output. Everything else is kept as it is.

#include <string>
#include <string_view>

namespace qt40 {

// One line: line breaks are escaped too.
std::string PrintableText(std::string_view text);
// Several lines: '\n' is kept (a CR before it too), and tabs; everything else as PrintableText.
std::string PrintableLines(std::string_view text);

}  // namespace qt40
