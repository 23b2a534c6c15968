#pragma once
// A HART frame in words: delimiter and address, command and its name, the
// response code and device status of an answer, and every field the command
// carries with its unit and the names of its codes, named by the same field
// descriptions the command set encodes and decodes with.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "traffic/DecoderTexts.h"

namespace qt40::traffic {

struct DecodedField {
    std::string name;
    std::string value;  // as shown: "25.5", "32 (degC)", "\"TT-101  \""
    std::string unit;   // "mA", "degC" or empty

    std::string Text() const;  // "PV = 25.5 degC"
};

struct DecodedFrame {
    int preambles = 0;  // 0xFF bytes before the delimiter
    std::uint8_t delimiter = 0;
    bool longFrame = false;
    bool fromDevice = false;   // an answer (ACK) or a burst frame
    std::string frameType;     // "request", "answer", "burst", "unknown frame type 3"
    std::string address;       // "0" or "3F 28 00 00 01"
    bool addressSeen = false;  // the first address byte came: the two bits below are real
    bool primaryMaster = false;
    bool burst = false;
    std::optional<int> command;
    std::string commandName;  // empty for a command the program does not send
    std::optional<int> byteCount;
    std::optional<std::uint8_t> responseCode;
    std::string responseText;
    std::optional<std::uint8_t> deviceStatus;
    std::vector<std::string> statusBits;  // "CFG (configuration changed)"
    std::vector<DecodedField> fields;
    bool complete = false;  // every byte the header announces, and the checksum
    bool checksumOk = false;
    std::string problem;  // why the frame is not whole or not right; empty when it is
    // Command 77: the frame it carries to or from a sub-device, decoded as if
    // it had been sent directly; its card and channel lead the fields.
    std::shared_ptr<const DecodedFrame> embedded;

    // "cmd 3 Read loop current and dynamic variables"
    std::string CommandText() const;
    // "0x40 CFG" or "0x00"; empty without a status byte.
    std::string StatusText() const;
};

// `frame` from its delimiter, or with the preambles in front (they are
// counted). Never reads outside `frame`: a short frame decodes as far as it goes.
// Command names, response texts and status meanings come from `texts`.
DecodedFrame DecodeFrame(std::span<const std::uint8_t> frame, const DecoderTexts& texts = {});

// "02 80 00 00 82" (upper-case hex, one space between bytes).
std::string HexText(std::span<const std::uint8_t> bytes);

}  // namespace qt40::traffic
