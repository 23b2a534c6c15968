#include "transport/HartIpReply.h"

namespace qt40 {
namespace {

std::span<const std::uint8_t> SkipPreambles(std::span<const std::uint8_t> frame) {
    std::size_t i = 0;
    while (i < frame.size() && frame[i] == 0xFF) ++i;
    return frame.subspan(i);
}

// Where the command byte sits: after one address byte (short frame) or five (long).
std::size_t CommandIndex(std::uint8_t delimiter) { return (delimiter & 0x80) ? 6 : 2; }

}  // namespace

HartIpReply JudgeHartIpReply(const HartIpHeader& sent, const HartIpReceived& got) {
    const HartIpHeader& h = got.header;
    const bool ours = h.sequence == sent.sequence;
    switch (h.type) {
        case HartIpMessageType::Error:
            if (!got.body.empty() && got.body[0] == kHartIpErrorSessionClosed) {
                return {HartIpReplyKind::SessionClosed, kHartIpErrorSessionClosed, false};
            }
            if (!ours) return {};
            return {HartIpReplyKind::Refusal, got.body.empty() ? h.status : got.body[0], false};
        case HartIpMessageType::Nak:
            if (!ours) return {};
            return {HartIpReplyKind::Refusal, h.status, true};
        case HartIpMessageType::Response:
            if (!ours || h.id != sent.id) return {};
            return {HartIpReplyKind::Answer, h.status, false};
        case HartIpMessageType::Request:
        case HartIpMessageType::Publish:
            break;
    }
    return {};
}

std::span<const std::uint8_t> HartAnswerFrame(std::span<const std::uint8_t> body,
                                              std::uint8_t command) {
    const std::span<const std::uint8_t> frame = SkipPreambles(body);
    if (frame.empty() || (frame[0] & 0x07) != 0x06) return {};
    const std::size_t at = CommandIndex(frame[0]);
    if (frame.size() < at + 3) return {};  // command, byte count, checksum
    if (frame.size() != at + 2 + std::size_t{frame[at + 1]} + 1) return {};
    if (frame[at] != command) return {};
    std::uint8_t sum = 0;
    for (std::uint8_t b : frame) sum ^= b;
    return sum == 0 ? frame : std::span<const std::uint8_t>{};
}

std::optional<std::uint8_t> HartRequestCommand(std::span<const std::uint8_t> frame) {
    frame = SkipPreambles(frame);
    if (frame.empty()) return std::nullopt;
    const std::size_t at = CommandIndex(frame[0]);
    if (frame.size() <= at) return std::nullopt;
    return frame[at];
}

}  // namespace qt40
