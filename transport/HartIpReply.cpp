#include "transport/HartIpReply.h"

#include "hart/HartFrame.h"

namespace qt40 {

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
    const ParsedFrame parsed = HartFrame::Parse(body);
    const HartFrame& frame = parsed.frame;
    if (!parsed.Sound() || parsed.trailing != 0 || frame.Kind() != FrameKind::Answer ||
        frame.Command() != command) {
        return {};
    }
    return body.subspan(parsed.preambles, parsed.size);
}

std::optional<std::uint8_t> HartRequestCommand(std::span<const std::uint8_t> frame) {
    return HartFrame::CommandOf(frame);
}

}  // namespace qt40
