#include "transport/FrameTransport.h"

namespace qt40 {

std::optional<std::uint8_t> FrameCommand(std::span<const std::uint8_t> frame) {
    std::size_t delimiter = 0;
    while (delimiter < frame.size() && frame[delimiter] == 0xFF) ++delimiter;
    if (delimiter == frame.size()) return std::nullopt;
    // Long frames carry five address bytes, short ones one.
    const std::size_t command = delimiter + ((frame[delimiter] & 0x80) ? 6 : 2);
    if (command >= frame.size()) return std::nullopt;
    return frame[command];
}

CommResult FrameTransport::Exchange(std::span<const std::uint8_t> request,
                                    std::span<std::uint8_t> answer, std::size_t& answerSize,
                                    int timeoutMs) {
    answerSize = 0;
    if (!Send(request).sent) return kCommExchangeFailed;
    const ReceiveResult got = Receive(answer, timeoutMs);
    if (got.end != ReceiveEnd::Answer) return kCommExchangeFailed;
    const auto frame = answer.first(got.size);
    if (FrameCommand(frame) != FrameCommand(request)) return kCommExchangeFailed;
    answerSize = got.size;
    return kCommSuccess;
}

}  // namespace qt40
