#pragma once
// Cuts a HART frame out of a byte stream, fed one byte at a time as the line
// delivers them: noise before the preambles skipped, the delimiter after
// them, the address size from the delimiter, the data by the byte count, the
// check byte last. Holds one frame at most, so no stream makes it grow.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "hart/HartFrame.h"

namespace qt40 {

class FrameAssembler {
public:
    // Which frames are wanted.
    struct Accepts {
        FrameKind kind = FrameKind::Answer;
        // A delimiter after fewer preambles is noise.
        int minPreambles = 1;
        // Only the plain delimiter: bits 3 to 6 (physical layer, expansion
        // bytes) clear. Otherwise the frame type bits alone decide.
        bool plainDelimiter = false;
    };

    enum class Fed : std::uint8_t {
        Pending,   // nothing to report: noise skipped, a preamble, a byte of a frame
        Frame,     // a whole frame, its check byte holding
        BadCheck,  // a whole frame whose check byte does not hold
        Garbage,   // after the preambles, a byte that starts no wanted frame
    };

    FrameAssembler() = default;
    explicit FrameAssembler(Accepts accepts) : accepts_(accepts) {}

    // After Frame, BadCheck or Garbage the next byte starts the hunt afresh;
    // until then Bytes() and Preambles() say what ended.
    Fed Feed(std::uint8_t byte);
    void Reset();

    // No preamble of a coming frame heard yet: the stream is noise so far.
    bool Hunting() const { return step_ == Step::Hunt || step_ == Step::Ended; }
    int Preambles() const { return preambles_; }
    // From the delimiter: the frame so far, the whole frame after Frame or
    // BadCheck, the refused byte after Garbage.
    std::span<const std::uint8_t> Bytes() const { return {buffer_.data(), size_}; }
    // The frame in Bytes(), parsed.
    ParsedFrame Frame() const { return HartFrame::Parse(Bytes()); }

private:
    enum class Step : std::uint8_t { Hunt, Preamble, Address, Command, Count, Data, Check, Ended };
    bool Wanted(std::uint8_t delimiter) const;
    void Store(std::uint8_t byte) { buffer_[size_++] = byte; }

    Accepts accepts_;
    Step step_ = Step::Hunt;
    int preambles_ = 0;
    std::size_t left_ = 0;  // address or data bytes still to come
    std::uint8_t sum_ = 0;
    std::size_t size_ = 0;
    std::array<std::uint8_t, kMaxFrameSize> buffer_{};
};

}  // namespace qt40
