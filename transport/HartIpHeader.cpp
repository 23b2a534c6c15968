#include "transport/HartIpHeader.h"

#include <algorithm>

namespace qt40 {

void EncodeHartIpHeader(const HartIpHeader& header,
                        std::span<std::uint8_t, kHartIpHeaderSize> out) {
    out[0] = header.version;
    out[1] = static_cast<std::uint8_t>(header.type);
    out[2] = static_cast<std::uint8_t>(header.id);
    out[3] = header.status;
    out[4] = static_cast<std::uint8_t>(header.sequence >> 8);
    out[5] = static_cast<std::uint8_t>(header.sequence);
    out[6] = static_cast<std::uint8_t>(header.byteCount >> 8);
    out[7] = static_cast<std::uint8_t>(header.byteCount);
}

std::optional<HartIpHeader> DecodeHartIpHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kHartIpHeaderSize) return std::nullopt;
    HartIpHeader h;
    h.version = bytes[0];
    h.type = static_cast<HartIpMessageType>(bytes[1]);
    h.id = static_cast<HartIpMessageId>(bytes[2]);
    h.status = bytes[3];
    h.sequence = static_cast<std::uint16_t>(bytes[4] << 8 | bytes[5]);
    h.byteCount = static_cast<std::uint16_t>(bytes[6] << 8 | bytes[7]);
    return h;
}

std::vector<std::uint8_t> HartIpMessage(HartIpHeader header, std::span<const std::uint8_t> body) {
    std::vector<std::uint8_t> message(kHartIpHeaderSize + body.size());
    header.byteCount = static_cast<std::uint16_t>(message.size());
    EncodeHartIpHeader(
        header, std::span<std::uint8_t, kHartIpHeaderSize>(message.data(), kHartIpHeaderSize));
    std::copy(body.begin(), body.end(), message.begin() + kHartIpHeaderSize);
    return message;
}

std::array<std::uint8_t, kHartIpSessionBodySize> EncodeHartIpSessionBody(
    const HartIpSessionBody& body) {
    const std::uint32_t t = body.inactivityTimerMs;
    return {body.hostType, static_cast<std::uint8_t>(t >> 24), static_cast<std::uint8_t>(t >> 16),
            static_cast<std::uint8_t>(t >> 8), static_cast<std::uint8_t>(t)};
}

std::optional<HartIpSessionBody> DecodeHartIpSessionBody(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kHartIpSessionBodySize) return std::nullopt;
    HartIpSessionBody body;
    body.hostType = bytes[0];
    body.inactivityTimerMs = static_cast<std::uint32_t>(bytes[1]) << 24 |
                             static_cast<std::uint32_t>(bytes[2]) << 16 |
                             static_cast<std::uint32_t>(bytes[3]) << 8 | bytes[4];
    return body;
}

}  // namespace qt40
