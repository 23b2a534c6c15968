#pragma once
// How the serial line between the PC and the modem is set. A modem that
// buffers and re-times onto the loop takes 9600 baud, 8N1 (the default); a
// plain Bell 202 modem wants the loop's own 1200 baud, 8 data bits, odd
// parity, 1 stop bit.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qt40 {

struct LineSetting {
    int baud = 9600;
    char parity = 'N';  // 'N', 'O' or 'E'
    int dataBits = 8;
    int stopBits = 1;

    // The choices by name: "9600-8N1" and "1200-8O1" (any letter case).
    // Nothing for any other name.
    static std::optional<LineSetting> FromName(std::string_view name);
    static const std::vector<std::string>& Names();
    // "9600-8N1".
    std::string Name() const;

    // "baud=9600 parity=N data=8 stop=1": the settings half of a port
    // definition, in the words the Win32 settings conversion takes.
    std::string Definition() const;
    // Reads such a text; keys it does not name keep the default. Nothing
    // when a token is no key=value pair of these four keys or its value is
    // not one a serial port takes.
    static std::optional<LineSetting> FromDefinition(std::string_view text);

    // Start bit, data bits, parity bit, stop bits.
    int BitsPerChar() const { return 1 + dataBits + (parity == 'N' ? 0 : 1) + stopBits; }
    // What `chars` characters take on this line, in whole milliseconds
    // rounded up.
    int WireMs(std::size_t chars) const;

    bool operator==(const LineSetting&) const = default;
};

}  // namespace qt40
