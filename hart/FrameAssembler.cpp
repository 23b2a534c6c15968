#include "hart/FrameAssembler.h"

#include <limits>

namespace qt40 {

bool FrameAssembler::Wanted(std::uint8_t delimiter) const {
    if (preambles_ < accepts_.minPreambles) return false;
    if (accepts_.plainDelimiter) {
        return delimiter == HartFrame::DelimiterFor(accepts_.kind, false) ||
               delimiter == HartFrame::DelimiterFor(accepts_.kind, true);
    }
    return HartFrame::TypeBits(delimiter) == static_cast<std::uint8_t>(accepts_.kind);
}

void FrameAssembler::Reset() {
    step_ = Step::Hunt;
    preambles_ = 0;
    left_ = 0;
    sum_ = 0;
    size_ = 0;
}

FrameAssembler::Fed FrameAssembler::Feed(std::uint8_t byte) {
    if (step_ == Step::Ended) Reset();
    const auto frameByte = [&] {
        Store(byte);
        sum_ ^= byte;
    };
    switch (step_) {
        case Step::Hunt:
            if (byte == kPreambleByte) {
                preambles_ = 1;
                step_ = Step::Preamble;
            }
            return Fed::Pending;
        case Step::Preamble:
            if (byte == kPreambleByte) {
                if (preambles_ < std::numeric_limits<int>::max()) ++preambles_;
                return Fed::Pending;
            }
            frameByte();
            if (!Wanted(byte)) {
                step_ = Step::Ended;
                return Fed::Garbage;
            }
            // The address and any expansion bytes, up to the command.
            left_ = HartFrame::CommandIndex(byte) - 1;
            step_ = Step::Address;
            return Fed::Pending;
        case Step::Address:
            frameByte();
            if (--left_ == 0) step_ = Step::Command;
            return Fed::Pending;
        case Step::Command:
            frameByte();
            step_ = Step::Count;
            return Fed::Pending;
        case Step::Count:
            frameByte();
            left_ = byte;
            step_ = left_ ? Step::Data : Step::Check;
            return Fed::Pending;
        case Step::Data:
            frameByte();
            if (--left_ == 0) step_ = Step::Check;
            return Fed::Pending;
        case Step::Check:
            frameByte();
            step_ = Step::Ended;
            return sum_ == 0 ? Fed::Frame : Fed::BadCheck;
        case Step::Ended:
            break;
    }
    return Fed::Pending;
}

}  // namespace qt40
