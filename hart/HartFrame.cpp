#include "hart/HartFrame.h"

#include <algorithm>

namespace qt40 {

std::size_t HartFrame::PreamblesIn(std::span<const std::uint8_t> bytes) {
    std::size_t n = 0;
    while (n < bytes.size() && bytes[n] == kPreambleByte) ++n;
    return n;
}

std::optional<HartFrame> HartFrame::Make(FrameKind kind, std::span<const std::uint8_t> address,
                                         std::uint8_t command, std::span<const std::uint8_t> data,
                                         std::span<const std::uint8_t> expansion) {
    if ((address.size() != 1 && address.size() != 5) || data.size() > kMaxFrameData ||
        expansion.size() > kMaxExpansionBytes) {
        return std::nullopt;
    }
    HartFrame f;
    f.delimiter_ = DelimiterFor(kind, address.size() == 5, expansion.size());
    f.addressHeld_ = static_cast<std::uint8_t>(address.size());
    std::copy(address.begin(), address.end(), f.address_.begin());
    f.expansionHeld_ = static_cast<std::uint8_t>(expansion.size());
    std::copy(expansion.begin(), expansion.end(), f.expansion_.begin());
    f.command_ = command;
    f.byteCount_ = static_cast<std::uint8_t>(data.size());
    f.dataHeld_ = static_cast<std::uint16_t>(data.size());
    std::copy(data.begin(), data.end(), f.data_.begin());
    f.check_ = f.ComputedCheck();
    return f;
}

ParsedFrame HartFrame::Parse(std::span<const std::uint8_t> bytes) {
    ParsedFrame out;
    out.preambles = PreamblesIn(bytes);
    const std::span<const std::uint8_t> f = bytes.subspan(out.preambles);
    HartFrame& frame = out.frame;
    std::size_t at = 0;
    // Takes the next byte, or says where the bytes ran out.
    const auto next = [&](FrameEnd endsHere) -> std::optional<std::uint8_t> {
        if (at >= f.size()) {
            out.end = endsHere;
            return std::nullopt;
        }
        return f[at++];
    };

    const auto delimiter = next(FrameEnd::NoDelimiter);
    if (!delimiter) return out;
    frame.delimiter_ = *delimiter;
    const std::size_t addressSize = AddressSize(*delimiter);
    while (frame.addressHeld_ < addressSize) {
        const auto b = next(FrameEnd::InAddress);
        if (!b) break;
        frame.address_[frame.addressHeld_++] = *b;
    }
    const std::size_t expansionSize = ExpansionSize(*delimiter);
    while (frame.addressHeld_ == addressSize && frame.expansionHeld_ < expansionSize) {
        const auto b = next(FrameEnd::InAddress);
        if (!b) break;
        frame.expansion_[frame.expansionHeld_++] = *b;
    }
    if (frame.addressHeld_ == addressSize && frame.expansionHeld_ == expansionSize) {
        if (const auto command = next(FrameEnd::BeforeCommand)) {
            frame.command_ = *command;
            if (const auto count = next(FrameEnd::BeforeByteCount)) {
                frame.byteCount_ = *count;
                const std::size_t held = std::min<std::size_t>(*count, f.size() - at);
                std::copy_n(f.begin() + static_cast<std::ptrdiff_t>(at), held, frame.data_.begin());
                frame.dataHeld_ = static_cast<std::uint16_t>(held);
                at += held;
                if (held < *count) {
                    out.end = FrameEnd::InData;
                } else if (const auto check = next(FrameEnd::BeforeCheckByte)) {
                    frame.check_ = *check;
                    out.end = FrameEnd::Whole;
                }
            }
        }
    }
    out.size = at;
    out.trailing = f.size() - at;
    return out;
}

std::optional<std::uint8_t> HartFrame::CommandOf(std::span<const std::uint8_t> bytes) {
    const std::size_t start = PreamblesIn(bytes);
    if (start == bytes.size()) return std::nullopt;
    const std::size_t at = start + CommandIndex(bytes[start]);
    if (at >= bytes.size()) return std::nullopt;
    return bytes[at];
}

std::optional<FrameKind> HartFrame::Kind() const {
    switch (TypeBits(delimiter_)) {
        case 1:
            return FrameKind::Burst;
        case 2:
            return FrameKind::Request;
        case 6:
            return FrameKind::Answer;
        default:
            return std::nullopt;
    }
}

bool HartFrame::FromDevice() const {
    const auto kind = Kind();
    return kind == FrameKind::Answer || kind == FrameKind::Burst;
}

std::optional<std::uint8_t> HartFrame::ResponseCode() const {
    if (!FromDevice() || dataHeld_ < 1) return std::nullopt;
    return data_[0];
}

std::optional<std::uint8_t> HartFrame::DeviceStatus() const {
    if (!FromDevice() || dataHeld_ < 2) return std::nullopt;
    return data_[1];
}

std::span<const std::uint8_t> HartFrame::Payload() const {
    const std::span<const std::uint8_t> data = Data();
    return FromDevice() ? data.subspan(std::min<std::size_t>(2, data.size())) : data;
}

std::uint8_t HartFrame::ComputedCheck() const {
    std::uint8_t sum = delimiter_ ^ command_ ^ byteCount_;
    for (std::uint8_t b : Address()) sum ^= b;
    for (std::uint8_t b : Expansion()) sum ^= b;
    for (std::uint8_t b : Data()) sum ^= b;
    return sum;
}

std::size_t HartFrame::WriteTo(std::span<std::uint8_t> out, std::size_t preambles) const {
    const std::size_t length = preambles + Size();
    if (out.size() < length || preambles > out.size()) return 0;
    auto at = std::fill_n(out.begin(), preambles, kPreambleByte);
    *at++ = delimiter_;
    at = std::copy(address_.begin(), address_.begin() + AddressSize(delimiter_), at);
    at = std::copy(expansion_.begin(), expansion_.begin() + ExpansionSize(delimiter_), at);
    *at++ = command_;
    *at++ = byteCount_;
    at = std::copy(data_.begin(), data_.begin() + byteCount_, at);
    *at++ = check_;
    return length;
}

std::vector<std::uint8_t> HartFrame::Bytes(std::size_t preambles) const {
    std::vector<std::uint8_t> out(preambles + Size());
    out.resize(WriteTo(out, preambles));
    return out;
}

}  // namespace qt40
