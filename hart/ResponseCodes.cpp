#include "hart/ResponseCodes.h"

#include <array>

namespace qt40 {
namespace {

struct CodeText {
    std::uint8_t code;
    const char* text;
};

// Meanings every command shares.
constexpr CodeText kGeneral[] = {
    {0, "success"},
    {1, "undefined"},
    {2, "invalid selection"},
    {3, "passed parameter too large"},
    {4, "passed parameter too small"},
    {5, "too few data bytes received"},
    {6, "device-specific command error"},
    {7, "in write-protect mode"},
    {16, "access restricted"},
    {32, "busy"},
    {33, "delayed response initiated"},
    {34, "delayed response running"},
    {35, "delayed response dead"},
    {36, "delayed response conflict"},
    {64, "command not implemented"},
};

// Codes 8 … 15 and a few more mean what the command says.
struct CommandCode {
    std::uint8_t command;
    std::uint8_t code;
    const char* text;
    bool warning;
};
constexpr CommandCode kByCommand[] = {
    {35, 9, "lower range value too high", false},
    {35, 10, "lower range value too low", false},
    {35, 11, "upper range value too high", false},
    {35, 12, "upper range value too low", false},
    {35, 13, "upper and lower range values out of limits", false},
    {35, 14, "span too small", true},
    {151, 9, "lower range value too high", false},
    {151, 10, "lower range value too low", false},
    {151, 11, "upper range value too high", false},
    {151, 12, "upper range value too low", false},
    {151, 13, "upper and lower range values out of limits", false},
    {151, 14, "span too small", true},
    {34, 8, "set to nearest possible value", true},
    {40, 9, "not in the proper current mode", false},
    {40, 11, "in multidrop mode", false},
    {45, 9, "not in the proper current mode", false},
    {46, 9, "not in the proper current mode", false},
    {153, 9, "not in the proper mode", false},
    // An I/O system's, for a request to a sub-device.
    {77, 21, "invalid I/O card number", false},
    {77, 22, "invalid channel number", false},
};

constexpr std::array<StatusBitName, 8> kDeviceStatus{{
    {0x80, "MAL", "device malfunction"},
    {0x40, "CFG", "configuration changed"},
    {0x20, "CLD", "cold start"},
    {0x10, "MSA", "more status available"},
    {0x08, "AFX", "loop current fixed"},
    {0x04, "AOS", "loop current saturated"},
    {0x02, "NPV", "non-primary variable out of limits"},
    {0x01, "PV", "primary variable out of limits"},
}};

// Bit 7 marks the report; the status bar's "Comm Status" row names the flags.
constexpr std::array<StatusBitName, 6> kCommunication{{
    {0x40, "PE", "parity error"},
    {0x20, "OVE", "overrun error"},
    {0x10, "FE", "framing error"},
    {0x08, "SME", "checksum error"},
    {0x04, "", "reserved"},
    {0x02, "BOE", "receive buffer overflow"},
}};

template <std::size_t N>
std::vector<StatusBitName> SetBits(const std::array<StatusBitName, N>& table, std::uint8_t value) {
    std::vector<StatusBitName> set;
    for (const StatusBitName& bit : table) {
        if (value & bit.mask) set.push_back(bit);
    }
    return set;
}

}  // namespace

std::string ResponseCodeText(std::uint8_t command, std::uint8_t code) {
    if (code & 0x80) {
        std::string text = "communication error";
        const auto bits = SetBits(kCommunication, code);
        for (std::size_t i = 0; i < bits.size(); ++i) {
            text += (i == 0 ? ": " : ", ");
            text += bits[i].meaning;
        }
        return text;
    }
    for (const CommandCode& c : kByCommand) {
        if (c.command == command && c.code == code) return c.text;
    }
    for (const CodeText& c : kGeneral) {
        if (c.code == code) return c.text;
    }
    return "response code " + std::to_string(code);
}

bool IsWarningCode(std::uint8_t command, std::uint8_t code) {
    for (const CommandCode& c : kByCommand) {
        if (c.command == command && c.code == code) return c.warning;
    }
    return false;
}

bool AsksForRepeat(std::uint8_t code) {
    return code == 32 || code == 33 || code == 34 || code == 36;
}

bool IsDelayedResponseDead(std::uint8_t code) {
    return code == 35;
}

std::vector<StatusBitName> DeviceStatusBits(std::uint8_t status) {
    return SetBits(kDeviceStatus, status);
}

std::vector<StatusBitName> CommunicationErrorBits(std::uint8_t code) {
    if (!(code & 0x80)) return {};
    return SetBits(kCommunication, code);
}

}  // namespace qt40
