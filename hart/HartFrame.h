#pragma once
// One HART frame from its delimiter through its check byte: the request the
// link sends, the answer it takes, the frame a HART-IP message carries, what
// the simulator answers and what the traffic view shows. Built from its
// fields, or parsed from bytes with the preambles skipped.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qt40 {

// The frame type in the delimiter's low three bits.
enum class FrameKind : std::uint8_t {
    Burst = 1,    // BACK: a device's frame nobody asked for
    Request = 2,  // STX: master to slave
    Answer = 6,   // ACK: slave to master
};

inline constexpr std::uint8_t kPreambleByte = 0xFF;
inline constexpr std::size_t kMaxFrameData = 255;
inline constexpr std::size_t kMaxExpansionBytes = 3;
// Delimiter, five address bytes, three expansion bytes, command, byte count,
// 255 data bytes, check byte.
inline constexpr std::size_t kMaxFrameSize = 1 + 5 + kMaxExpansionBytes + 1 + 1 + kMaxFrameData + 1;

// Where the bytes ran out, in the order of the frame.
enum class FrameEnd : std::uint8_t {
    NoDelimiter,      // nothing, or nothing but preambles
    InAddress,        // the delimiter and part of the address or the expansion bytes
    BeforeCommand,    // the address, no command
    BeforeByteCount,  // the command, no byte count
    InData,           // fewer data bytes than the byte count says
    BeforeCheckByte,  // all the data, no check byte
    Whole,            // through the check byte, whether it holds or not
};

struct ParsedFrame;

class HartFrame {
public:
    // Bit 7 of the delimiter makes a long frame: five address bytes
    // (manufacturer ID with the master and burst bits, device type, device
    // ID). Otherwise one byte: the polling address with those two bits.
    static constexpr bool IsLong(std::uint8_t delimiter) { return (delimiter & 0x80) != 0; }
    static constexpr std::size_t AddressSize(std::uint8_t delimiter) {
        return IsLong(delimiter) ? 5 : 1;
    }
    // Bits 5 and 6 of the delimiter: the expansion bytes between the address
    // and the command (HART 7; a frame a sub-device answers through an I/O
    // system may carry them).
    static constexpr std::size_t ExpansionSize(std::uint8_t delimiter) {
        return (delimiter >> 5) & 0x03;
    }
    // Index of the command byte, counted from the delimiter.
    static constexpr std::size_t CommandIndex(std::uint8_t delimiter) {
        return 1 + AddressSize(delimiter) + ExpansionSize(delimiter);
    }
    // The frame type bits (FrameKind for the three the protocol knows).
    static constexpr std::uint8_t TypeBits(std::uint8_t delimiter) { return delimiter & 0x07; }
    static constexpr std::uint8_t DelimiterFor(FrameKind kind, bool longFrame,
                                               std::size_t expansion = 0) {
        return static_cast<std::uint8_t>((longFrame ? 0x80 : 0x00) | ((expansion & 0x03) << 5) |
                                         static_cast<std::uint8_t>(kind));
    }
    // The 0xFF bytes in front of `bytes`.
    static std::size_t PreamblesIn(std::span<const std::uint8_t> bytes);

    // A frame of `kind` to `address` (one byte: a short frame; five: a long
    // one), with `expansion` bytes after the address, its check byte
    // computed. None for another address size, more than three expansion
    // bytes or more than 255 data bytes.
    static std::optional<HartFrame> Make(FrameKind kind, std::span<const std::uint8_t> address,
                                         std::uint8_t command, std::span<const std::uint8_t> data,
                                         std::span<const std::uint8_t> expansion = {});
    // `bytes` with or without preambles; never reads outside them.
    static ParsedFrame Parse(std::span<const std::uint8_t> bytes);
    // The command number of a request or an answer, preambles skipped; none
    // when the bytes end before it.
    static std::optional<std::uint8_t> CommandOf(std::span<const std::uint8_t> bytes);

    HartFrame() = default;

    std::uint8_t Delimiter() const { return delimiter_; }
    bool Long() const { return IsLong(delimiter_); }
    // None for a frame type the protocol does not know.
    std::optional<FrameKind> Kind() const;
    bool FromDevice() const;  // an answer or a burst frame
    // The address bytes as they came (fewer for a frame that ended in them).
    std::span<const std::uint8_t> Address() const { return {address_.data(), addressHeld_}; }
    // The expansion bytes as they came (none in most frames).
    std::span<const std::uint8_t> Expansion() const { return {expansion_.data(), expansionHeld_}; }
    std::uint8_t Command() const { return command_; }
    // The byte count as the frame says it.
    std::uint8_t ByteCount() const { return byteCount_; }
    // The data bytes that came (the byte count's worth in a whole frame).
    std::span<const std::uint8_t> Data() const { return {data_.data(), dataHeld_}; }
    // A device's frame: the first two data bytes. None for a request or
    // where the data ends before them.
    std::optional<std::uint8_t> ResponseCode() const;
    std::optional<std::uint8_t> DeviceStatus() const;
    // The command's own data: after the response code and status of a
    // device's frame, all of a request's.
    std::span<const std::uint8_t> Payload() const;

    // As received, or as computed when built.
    std::uint8_t CheckByte() const { return check_; }
    // The XOR of every byte from the delimiter through the last data byte.
    std::uint8_t ComputedCheck() const;
    bool CheckHolds() const { return check_ == ComputedCheck(); }

    // Bytes from the delimiter through the check byte.
    std::size_t Size() const { return CommandIndex(delimiter_) + 2 + byteCount_ + 1; }
    // `preambles` 0xFF bytes, then the frame. Returns the count written, or 0
    // when `out` is too small.
    std::size_t WriteTo(std::span<std::uint8_t> out, std::size_t preambles = 0) const;
    std::vector<std::uint8_t> Bytes(std::size_t preambles = 0) const;

private:
    std::uint8_t delimiter_ = 0;
    std::uint8_t addressHeld_ = 0;
    std::array<std::uint8_t, 5> address_{};
    std::uint8_t expansionHeld_ = 0;
    std::array<std::uint8_t, kMaxExpansionBytes> expansion_{};
    std::uint8_t command_ = 0;
    std::uint8_t byteCount_ = 0;
    std::uint8_t check_ = 0;
    std::uint16_t dataHeld_ = 0;
    std::array<std::uint8_t, kMaxFrameData> data_{};
};

// What Parse found.
struct ParsedFrame {
    HartFrame frame;  // as far as the bytes went
    FrameEnd end = FrameEnd::NoDelimiter;
    std::size_t preambles = 0;
    std::size_t size = 0;      // bytes taken from the delimiter on
    std::size_t trailing = 0;  // bytes after the check byte

    bool Whole() const { return end == FrameEnd::Whole; }
    bool HasCommand() const { return end >= FrameEnd::BeforeByteCount; }
    // Whole, its check byte holding.
    bool Sound() const { return Whole() && frame.CheckHolds(); }
};

}  // namespace qt40
