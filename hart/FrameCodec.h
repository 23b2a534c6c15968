#pragma once
// Request frames out of the link state, and response frames back into it.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "hart/HartLink.h"

namespace qt40 {

struct DeviceRecord;

// Writes preambles, delimiter, address, command, byte count, data and checksum
// for the current link state. Command 0 goes as a short frame to the polling
// address, every other command as a long frame to `longAddress`. Returns the
// frame length, or 0 when `out` is too small.
std::size_t BuildRequestFrame(const HartLink& link, std::span<std::uint8_t> out);

// Takes a received frame from its delimiter on (preambles stripped). Copies
// command, byte count, status bytes and data into the link state, then accepts
// when the checksum holds and the response code is 0 (command 41: any code).
// Refuses, copying nothing, a frame too short for its header, one whose byte
// count exceeds the data buffer or the frame, or one without status bytes.
bool DecodeResponseFrame(HartLink& link, std::span<const std::uint8_t> frame);

// Command 0 answer in `link.dataBuffer`: long address and identity texts.
void DecodeIdentity(HartLink& link, DeviceRecord& record);
// The hardware revision byte of the identity as shown: bits 7 … 3, a point,
// bits 2 … 0.
std::string HardwareRevisionText(std::uint8_t byte);

}  // namespace qt40
