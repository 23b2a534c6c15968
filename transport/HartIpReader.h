#pragma once
// Cuts HART-IP messages out of what the network delivers: a TCP stream, where
// a message may come in pieces or several in one read, and UDP, where each
// datagram carries one message.
//
// The byte count in the header is all that tells where a message ends, so it is
// judged before anything is waited for: below 8 it cannot even cover its own
// header (a stream would never advance), above kHartIpMaxMessageSize it is not
// a message we could have asked for. The longest token-passing message is
// 8 + 1 + 5 + 3 + 1 + 1 + 255 + 1 = 275 bytes (header, delimiter, long address,
// expansion bytes, command, byte count, data, checksum); the limit leaves room
// for the longer management messages a server may send unasked. Beyond it the
// peer is not speaking HART-IP, or the stream is out of step; TCP gives no way
// to find the next header again, so the connection has to go.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "transport/HartIpHeader.h"

namespace qt40 {

inline constexpr std::size_t kHartIpMaxMessageSize = 1024;

// One message as it arrived: its header and the bytes after it.
struct HartIpReceived {
    HartIpHeader header;
    std::vector<std::uint8_t> body;
};

enum class HartIpReadFault {
    None,
    CountTooSmall,  // byte count below the header's own 8 bytes
    CountTooLarge,  // byte count above kHartIpMaxMessageSize
    SizeMismatch,   // a datagram longer or shorter than its byte count
    TooShort,       // a datagram shorter than a header
};

class HartIpStreamReader {
public:
    // Takes the bytes of one read. False once the stream is out of step (see
    // Fault()); from then on nothing more is taken and the connection must be
    // closed. Messages completed before the bad header stay available.
    bool Feed(std::span<const std::uint8_t> bytes);
    // The oldest whole message not yet taken.
    std::optional<HartIpReceived> Next();

    HartIpReadFault Fault() const { return fault_; }
    // Bytes of a message begun but not complete.
    std::size_t Pending() const { return buffer_.size(); }
    // Forgets everything, for a new connection.
    void Reset();

private:
    std::vector<std::uint8_t> buffer_;
    std::deque<HartIpReceived> ready_;
    HartIpReadFault fault_ = HartIpReadFault::None;
};

// The message of one datagram, or nothing (with the reason in `fault`) when
// the datagram is not exactly one message within the limits.
std::optional<HartIpReceived> ParseHartIpDatagram(std::span<const std::uint8_t> datagram,
                                                  HartIpReadFault* fault = nullptr);

}  // namespace qt40
