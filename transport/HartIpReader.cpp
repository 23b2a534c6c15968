#include "transport/HartIpReader.h"

namespace qt40 {
namespace {

HartIpReadFault JudgeCount(std::uint16_t byteCount) {
    if (byteCount < kHartIpHeaderSize) return HartIpReadFault::CountTooSmall;
    if (byteCount > kHartIpMaxMessageSize) return HartIpReadFault::CountTooLarge;
    return HartIpReadFault::None;
}

}  // namespace

bool HartIpStreamReader::Feed(std::span<const std::uint8_t> bytes) {
    if (fault_ != HartIpReadFault::None) return false;
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    std::size_t start = 0;
    while (buffer_.size() - start >= kHartIpHeaderSize) {
        const std::span<const std::uint8_t> rest(buffer_.data() + start, buffer_.size() - start);
        const HartIpHeader header = *DecodeHartIpHeader(rest);
        if (const HartIpReadFault fault = JudgeCount(header.byteCount);
            fault != HartIpReadFault::None) {
            fault_ = fault;
            buffer_.clear();
            return false;
        }
        if (rest.size() < header.byteCount) break;
        ready_.push_back({header, {rest.begin() + kHartIpHeaderSize, rest.begin() + header.byteCount}});
        start += header.byteCount;
    }
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start));
    return true;
}

std::optional<HartIpReceived> HartIpStreamReader::Next() {
    if (ready_.empty()) return std::nullopt;
    HartIpReceived message = std::move(ready_.front());
    ready_.pop_front();
    return message;
}

void HartIpStreamReader::Reset() {
    buffer_.clear();
    ready_.clear();
    fault_ = HartIpReadFault::None;
}

std::optional<HartIpReceived> ParseHartIpDatagram(std::span<const std::uint8_t> datagram,
                                                  HartIpReadFault* fault) {
    auto refuse = [&](HartIpReadFault why) -> std::optional<HartIpReceived> {
        if (fault) *fault = why;
        return std::nullopt;
    };
    const auto header = DecodeHartIpHeader(datagram);
    if (!header) return refuse(HartIpReadFault::TooShort);
    if (const HartIpReadFault why = JudgeCount(header->byteCount); why != HartIpReadFault::None) {
        return refuse(why);
    }
    if (header->byteCount != datagram.size()) return refuse(HartIpReadFault::SizeMismatch);
    if (fault) *fault = HartIpReadFault::None;
    return HartIpReceived{*header, {datagram.begin() + kHartIpHeaderSize, datagram.end()}};
}

}  // namespace qt40
