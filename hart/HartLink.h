#pragma once
// Protocol state of the link: what the next request carries and what the last
// answer said. Request and answer data share one buffer, as on the device side.

#include <array>
#include <cstddef>
#include <cstdint>

#include "hart/HartFrame.h"

namespace qt40 {

inline constexpr std::size_t kDataBufferSize = 100;
inline constexpr int kRequestPreambles = 5;

struct HartLink {
    int preambleCount = kRequestPreambles;
    int pollingAddress = 0;
    std::uint8_t command = 0;
    std::uint8_t byteCount = 0;
    // Manufacturer ID, device type, device ID (most significant byte first).
    std::array<std::uint8_t, 5> longAddress{};
    // Request: data from index 0. Answer: response code, device status, then data.
    std::array<std::uint8_t, kDataBufferSize> dataBuffer{};
    std::uint8_t responseCode = 0;
    std::uint8_t deviceStatus = 0;
};

}  // namespace qt40
