#include "hart/IoSystemCommands.h"

#include <algorithm>

#include "hart/Encodings.h"

namespace qt40 {
namespace {

using T = FieldType;

constexpr FieldLayout k74Answer[] = {
    {.name = "Maximum I/O cards", .offset = 0},
    {.name = "Maximum channels per card", .offset = 1},
    {.name = "Maximum sub-devices per channel", .offset = 2},
    {.name = "Devices detected", .offset = 3, .type = T::U16},
    {.name = "Maximum delayed responses", .offset = 5},
    {.name = "Master mode", .offset = 6, .codes = FieldCodes::MasterMode},
    {.name = "Retry count", .offset = 7},
};
constexpr CommandLayout k74{
    .name = "Read I/O system capabilities", .request = {}, .answer = k74Answer};

constexpr FieldLayout k77Request[] = {
    {.name = "I/O card", .offset = 0},
    {.name = "Channel", .offset = 1},
    {.name = "Transmit preamble count", .offset = 2},
};
constexpr FieldLayout k77Answer[] = {
    {.name = "I/O card", .offset = 0},
    {.name = "Channel", .offset = 1},
};
constexpr CommandLayout k77{
    .name = "Send command to sub-device", .request = k77Request, .answer = k77Answer};

constexpr FieldLayout k84Request[] = {
    {.name = "Sub-device index", .offset = 0, .type = T::U16},
};
constexpr FieldLayout k84Answer[] = {
    {.name = "Sub-device index", .offset = 0, .type = T::U16},
    {.name = "I/O card", .offset = 2},
    {.name = "Channel", .offset = 3},
    {.name = "Manufacturer ID", .offset = 4, .type = T::U16},
    {.name = "Expanded device type", .offset = 6, .type = T::U16},
    {.name = "Device ID", .offset = 8, .type = T::U24},
    {.name = "Universal command revision", .offset = 11},
    {.name = "Long tag", .offset = 12, .type = T::Latin1, .chars = 32},
    {.name = "Device revision", .offset = 44},
    {.name = "Device profile", .offset = 45},
    {.name = "Private label distributor", .offset = 46, .type = T::U16},
};
constexpr CommandLayout k84{
    .name = "Read sub-device identity summary", .request = k84Request, .answer = k84Answer};

constexpr std::size_t k74AnswerSize = 8;
constexpr std::size_t k84AnswerSize = 48;

// The frame inside command 77: `bytes` from its delimiter through its data,
// without check byte, of the frame type `kind`; the check byte computed.
std::optional<HartFrame> EmbeddedFrame(std::span<const std::uint8_t> bytes, FrameKind kind,
                                       std::size_t& size) {
    if (bytes.empty() || bytes.front() == kPreambleByte) return std::nullopt;
    const ParsedFrame parsed = HartFrame::Parse(bytes);
    // All of the bytes, and no check byte: a frame that ends earlier (with
    // bytes after it) or has one byte more is not what the command carries.
    if (parsed.end != FrameEnd::BeforeCheckByte || parsed.trailing != 0 ||
        parsed.frame.Kind() != kind) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> whole(bytes.begin(), bytes.end());
    std::uint8_t sum = 0;
    for (std::uint8_t b : whole) sum ^= b;
    whole.push_back(sum);
    const ParsedFrame done = HartFrame::Parse(whole);
    if (!done.Sound()) return std::nullopt;
    size = bytes.size();
    return done.frame;
}

}  // namespace

const CommandLayout* FindIoSystemLayout(std::uint8_t command) {
    switch (command) {
        case kCmdReadIoSystemCapabilities:
            return &k74;
        case kCmdSendToSubDevice:
            return &k77;
        case kCmdReadSubDeviceIdentity:
            return &k84;
        default:
            return nullptr;
    }
}

std::optional<std::array<std::uint8_t, 5>> LongAddressFromIdentity(
    std::span<const std::uint8_t> payload, std::uint8_t master) {
    // 0: 254, 1-2: expanded device type, …, 9-11: device ID.
    if (payload.size() < 12) return std::nullopt;
    return std::array<std::uint8_t, 5>{
        static_cast<std::uint8_t>((payload[1] & 0x3F) | (master & 0xC0)), payload[2], payload[9],
        payload[10], payload[11]};
}

std::optional<IoSystemCapabilities> ParseIoSystemCapabilities(std::span<const std::uint8_t> p) {
    if (p.size() < k74AnswerSize) return std::nullopt;
    IoSystemCapabilities c;
    c.maxCards = p[0];
    c.maxChannelsPerCard = p[1];
    c.maxSubDevicesPerChannel = p[2];
    c.devicesDetected = GetU16(&p[3]);
    c.maxDelayedResponses = p[5];
    c.primaryMaster = p[6] == 1;
    c.retryCount = p[7];
    return c;
}

std::array<std::uint8_t, 2> SubDeviceIdentityRequest(std::uint16_t index) {
    return {static_cast<std::uint8_t>(index >> 8), static_cast<std::uint8_t>(index & 0xFF)};
}

std::optional<SubDeviceIdentity> ParseSubDeviceIdentity(std::span<const std::uint8_t> p) {
    if (p.size() < k84AnswerSize) return std::nullopt;
    SubDeviceIdentity s;
    s.index = GetU16(&p[0]);
    s.card = p[2];
    s.channel = p[3];
    s.manufacturerId = GetU16(&p[4]);
    s.expandedDeviceType = GetU16(&p[6]);
    s.deviceId = GetU24(&p[8]);
    s.universalRevision = p[11];
    s.longTag = ReadField(k84Answer[7], p.data()).text;
    s.deviceRevision = p[44];
    s.deviceProfile = p[45];
    s.privateLabel = GetU16(&p[46]);
    return s;
}

std::optional<std::vector<std::uint8_t>> SubDeviceRequestData(
    SubDevicePlace place, std::uint8_t preambles, std::span<const std::uint8_t> request) {
    const ParsedFrame parsed = HartFrame::Parse(request);
    if (!parsed.Whole() || parsed.frame.Kind() != FrameKind::Request) return std::nullopt;
    const auto frame = request.subspan(parsed.preambles, parsed.size - 1);  // no check byte
    if (3 + frame.size() > kMaxFrameData) return std::nullopt;
    std::vector<std::uint8_t> data{place.card, place.channel, preambles};
    data.insert(data.end(), frame.begin(), frame.end());
    return data;
}

std::optional<Embedded> ParseSubDeviceRequest(std::span<const std::uint8_t> data) {
    if (data.size() < 4) return std::nullopt;
    Embedded e;
    e.place = {data[0], data[1]};
    e.preambles = data[2];
    const auto frame = EmbeddedFrame(data.subspan(3), FrameKind::Request, e.size);
    if (!frame) return std::nullopt;
    e.frame = *frame;
    return e;
}

std::optional<Embedded> ParseSubDeviceAnswer(std::span<const std::uint8_t> payload) {
    if (payload.size() < 3) return std::nullopt;
    Embedded e;
    e.place = {payload[0], payload[1]};
    const auto frame = EmbeddedFrame(payload.subspan(2), FrameKind::Answer, e.size);
    if (!frame) return std::nullopt;
    e.frame = *frame;
    return e;
}

}  // namespace qt40
