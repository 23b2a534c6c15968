#pragma once
// What to tell the user about a serial port that would not open: a missing
// device, one the user may not open, one another program holds. Other
// failures have no advice of their own ("Err_COM" covers them).

#include <optional>
#include <string>

#include "transport/SerialPort.h"
#include "base/Prompts.h"

namespace qt40 {

struct PortAdvice {
    std::string key;  // UIMsg key
    MessageArgs args;
};

// The group a serial device node belongs to on Debian, when the node's own
// group cannot be read.
inline constexpr const char* kSerialGroup = "dialout";

std::optional<PortAdvice> PortOpenAdvice(const OpenError& error);

// The English text of `advice` on one line, for the command-line tool, which
// reads no language file; the templates are those of English.lng.
std::string PortAdviceEnglish(const PortAdvice& advice);
// The English template of a key ("%s" placeholders, "\n" line breaks);
// empty for a key that is not a port advice.
std::string PortAdviceTemplate(const std::string& key);

}  // namespace qt40
