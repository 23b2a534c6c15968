#include "transport/FrameTransport.h"

#include "hart/HartFrame.h"

namespace qt40 {

CommResult FrameTransport::Exchange(std::span<const std::uint8_t> request,
                                    std::span<std::uint8_t> answer, std::size_t& answerSize,
                                    int timeoutMs) {
    answerSize = 0;
    if (!Send(request).sent) return kCommExchangeFailed;
    const ReceiveResult got = Receive(answer, timeoutMs);
    if (got.end != ReceiveEnd::Answer) return kCommExchangeFailed;
    const auto frame = answer.first(got.size);
    if (HartFrame::CommandOf(frame) != HartFrame::CommandOf(request)) return kCommExchangeFailed;
    answerSize = got.size;
    return kCommSuccess;
}

}  // namespace qt40
