#pragma once
// The 8-byte header in front of every HART-IP message (version 1), big-endian:
// version, message type, message ID, status, sequence number, byte count. The
// byte count covers the whole message, header included.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qt40 {

inline constexpr std::uint16_t kHartIpPort = 5094;
inline constexpr std::uint8_t kHartIpVersion = 1;
inline constexpr std::size_t kHartIpHeaderSize = 8;

enum class HartIpMessageType : std::uint8_t {
    Request = 0,
    Response = 1,
    Publish = 2,
    Error = 3,
    Nak = 15,
};

enum class HartIpMessageId : std::uint8_t {
    SessionInitiate = 0,
    SessionClose = 1,
    KeepAlive = 2,
    TokenPassingPdu = 3,
};

struct HartIpHeader {
    std::uint8_t version = kHartIpVersion;
    HartIpMessageType type = HartIpMessageType::Request;
    HartIpMessageId id = HartIpMessageId::TokenPassingPdu;
    std::uint8_t status = 0;
    std::uint16_t sequence = 0;
    std::uint16_t byteCount = kHartIpHeaderSize;

    friend bool operator==(const HartIpHeader&, const HartIpHeader&) = default;
};

// The header as it goes on the wire.
void EncodeHartIpHeader(const HartIpHeader& header, std::span<std::uint8_t, kHartIpHeaderSize> out);

// The header of the first eight bytes; nothing when fewer are given. Says
// nothing about whether the fields make sense: the reader judges them.
std::optional<HartIpHeader> DecodeHartIpHeader(std::span<const std::uint8_t> bytes);

// A whole message: the header (its byte count set from the body) and the body.
std::vector<std::uint8_t> HartIpMessage(HartIpHeader header, std::span<const std::uint8_t> body);

}  // namespace qt40
