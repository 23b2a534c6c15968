#pragma once
// The 8-byte header in front of every HART-IP message (version 1), big-endian:
// version, message type, message ID, status, sequence number, byte count. The
// byte count covers the whole message, header included.

#include <array>
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

// The body of a session initiate, request and answer alike: host type and
// inactivity close timer (ms, big-endian). A server may answer with a lower timer.
inline constexpr std::uint8_t kHartIpPrimaryHost = 1;
inline constexpr std::uint8_t kHartIpSecondaryHost = 0;
inline constexpr std::size_t kHartIpSessionBodySize = 5;

struct HartIpSessionBody {
    std::uint8_t hostType = kHartIpPrimaryHost;
    std::uint32_t inactivityTimerMs = 60000;

    friend bool operator==(const HartIpSessionBody&, const HartIpSessionBody&) = default;
};

std::array<std::uint8_t, kHartIpSessionBodySize> EncodeHartIpSessionBody(const HartIpSessionBody& body);
// Nothing when the body is shorter than five bytes.
std::optional<HartIpSessionBody> DecodeHartIpSessionBody(std::span<const std::uint8_t> bytes);

// Header status of a session initiate answer. 0 opens the session; 8 opens it
// too, with the timer set to the nearest value the server allows.
enum HartIpSessionStatus : std::uint8_t {
    kHartIpSessionOk = 0,
    kHartIpInvalidHostType = 2,
    kHartIpTooFewDataBytes = 5,
    kHartIpTimerSetToNearest = 8,
    kHartIpVersionNotSupported = 14,
    kHartIpNoSessionAvailable = 15,
    kHartIpSessionExists = 16,
};

// The one-byte body of an error message.
enum HartIpErrorCode : std::uint8_t {
    kHartIpErrorSessionClosed = 0,
    kHartIpErrorPrimaryUnavailable = 1,
    kHartIpErrorServiceUnavailable = 2,
};

}  // namespace qt40
