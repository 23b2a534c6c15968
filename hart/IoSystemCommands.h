#pragma once
// The commands an I/O system (a remote I/O head, a HART multiplexer, many
// HART-IP gateways) answers for the devices on its cards and channels: 74
// reads its capabilities, 84 the identity summary of one sub-device, 77
// carries a request to a sub-device and its answer back. Their field
// layouts (for the traffic decoder) and the byte codecs the transport and
// discovery use, in one place. Pure byte functions; no I/O.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "hart/CommandLayout.h"
#include "hart/HartFrame.h"

namespace qt40 {

inline constexpr std::uint8_t kCmdReadIoSystemCapabilities = 74;
inline constexpr std::uint8_t kCmdSendToSubDevice = 77;
inline constexpr std::uint8_t kCmdReadSubDeviceIdentity = 84;

// Command 77's own response codes (beside 2, 5 and 32 … 36 every command shares).
inline constexpr std::uint8_t kRcInvalidIoCard = 21;
inline constexpr std::uint8_t kRcInvalidChannel = 22;

// The layouts of 74, 77 and 84 (nullptr for any other command). Their fields
// have no place in the device records: nothing is loaded or stored.
const CommandLayout* FindIoSystemLayout(std::uint8_t command);

// A long frame's five address bytes of a device from its command 0 answer
// payload (after the status bytes): the expanded device type with the top two
// bits of its first byte masked, then the device ID. `master` is or-ed into
// the first byte (0x80 the primary master). None for a payload too short.
std::optional<std::array<std::uint8_t, 5>> LongAddressFromIdentity(
    std::span<const std::uint8_t> payload, std::uint8_t master = 0);

// Command 74's answer.
struct IoSystemCapabilities {
    std::uint8_t maxCards = 0;
    std::uint8_t maxChannelsPerCard = 0;
    std::uint8_t maxSubDevicesPerChannel = 0;
    std::uint16_t devicesDetected = 0;  // the I/O system itself counted
    std::uint8_t maxDelayedResponses = 0;
    bool primaryMaster = false;
    std::uint8_t retryCount = 0;
};
// From the answer payload (after the status bytes); none when shorter than 8 bytes.
std::optional<IoSystemCapabilities> ParseIoSystemCapabilities(
    std::span<const std::uint8_t> payload);

// Command 84's answer: sub-device `index` (0 is the I/O system itself).
struct SubDeviceIdentity {
    std::uint16_t index = 0;
    std::uint8_t card = 0;
    std::uint8_t channel = 0;
    std::uint16_t manufacturerId = 0;
    // For a HART 5 device: its manufacturer ID, then its device type code.
    std::uint16_t expandedDeviceType = 0;
    std::uint32_t deviceId = 0;
    std::uint8_t universalRevision = 0;
    std::string longTag;  // UTF-8, the padding (NULs, blanks) at its end taken off
    std::uint8_t deviceRevision = 0;
    std::uint8_t deviceProfile = 0;
    std::uint16_t privateLabel = 0;
};
// Command 84's request data for sub-device `index`.
std::array<std::uint8_t, 2> SubDeviceIdentityRequest(std::uint16_t index);
// From the answer payload; none when shorter than 48 bytes.
std::optional<SubDeviceIdentity> ParseSubDeviceIdentity(std::span<const std::uint8_t> payload);

// Where a sub-device sits.
struct SubDevicePlace {
    std::uint8_t card = 0;
    std::uint8_t channel = 0;
    friend bool operator==(const SubDevicePlace&, const SubDevicePlace&) = default;
};

// Command 77's request data: card, channel, the transmit preamble count and
// `request` (a whole request frame, preambles allowed) from its delimiter
// through its data, without the check byte. None for a frame that is not a
// whole request or would not fit in 255 data bytes.
std::optional<std::vector<std::uint8_t>> SubDeviceRequestData(
    SubDevicePlace place, std::uint8_t preambles, std::span<const std::uint8_t> request);

// A frame carried inside command 77, its check byte computed as the device
// would have sent it.
struct Embedded {
    SubDevicePlace place;
    std::uint8_t preambles = 0;  // a request's transmit preamble count
    HartFrame frame;
    std::size_t size = 0;  // bytes the frame took inside command 77
};
// The request inside command 77's request data; none when the data holds no
// whole frame after the three leading bytes.
std::optional<Embedded> ParseSubDeviceRequest(std::span<const std::uint8_t> data);
// The answer inside command 77's answer payload (after the I/O system's status
// bytes): card, channel, the sub-device's frame without check byte. None when
// it holds no whole answer frame.
std::optional<Embedded> ParseSubDeviceAnswer(std::span<const std::uint8_t> payload);

}  // namespace qt40
