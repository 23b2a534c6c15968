#pragma once
// What the two status bytes of an answer say, in words: the response code
// (with the meanings a command gives its own codes), the communication error
// flags of a code with bit 7 set, and the field-device status bits by the
// names the status bar shows them under.

#include <cstdint>
#include <string>
#include <vector>

namespace qt40 {

// "success", "busy", "span too small" (command 35) …; "response code N" for
// a code nobody named. For a communication error, the flags.
std::string ResponseCodeText(std::uint8_t command, std::uint8_t code);
// True for the codes that still carry the command's data (warnings): the
// configurator refuses them all the same (command 41 aside).
bool IsWarningCode(std::uint8_t command, std::uint8_t code);

// Busy (32), delayed response initiated (33), running (34) or conflict (36):
// the request was not refused; the same request, sent again after a pause,
// gets the real answer. Never a success, never a refusal. A code with bit 7
// set is a communication error report, none of these.
bool AsksForRepeat(std::uint8_t code);
// Delayed response dead (35): whoever carried the request (an I/O system, a
// gateway) got no answer from the device.
bool IsDelayedResponseDead(std::uint8_t code);

struct StatusBitName {
    std::uint8_t mask;
    const char* label;    // as on the status bar ("MAL")
    const char* meaning;  // "device malfunction"
};
// The device status bits set in `status`, most significant first.
std::vector<StatusBitName> DeviceStatusBits(std::uint8_t status);
// The communication error flags set in a code with bit 7 set.
std::vector<StatusBitName> CommunicationErrorBits(std::uint8_t code);

}  // namespace qt40
