#pragma once
// How a HART-IP client judges each message that arrives while a request waits
// for its answer, and the HART frame inside a token-passing answer. Pure
// functions of the bytes: the client, its tests and the fuzzer share them.

#include <cstdint>
#include <optional>
#include <span>

#include "transport/HartIpHeader.h"
#include "transport/HartIpReader.h"

namespace qt40 {

enum class HartIpReplyKind {
    Drop,           // not the answer to this request: another sequence number or message ID,
                    // a publish message, a request from the server
    Answer,         // a response with the request's sequence number and message ID
    Refusal,        // an error message or a NAK with the request's sequence number
    SessionClosed,  // an error message saying the server closed the session (any sequence number)
};

struct HartIpReply {
    HartIpReplyKind kind = HartIpReplyKind::Drop;
    // Answer: the header status. Refusal: the error code (error message) or the status (NAK).
    std::uint8_t code = 0;
    bool nak = false;
};

// `sent` is the header of the request that waits.
HartIpReply JudgeHartIpReply(const HartIpHeader& sent, const HartIpReceived& got);

// The HART answer frame inside a token-passing body, from its delimiter through
// its checksum (preambles, should a server send them, skipped): a slave frame
// (delimiter 0x06 or 0x86) exactly as long as its byte count says, whose
// checksum holds, answering `command`. Empty when the body is anything else.
std::span<const std::uint8_t> HartAnswerFrame(std::span<const std::uint8_t> body,
                                              std::uint8_t command);

// The command number of a request frame (preambles skipped); none when the
// frame is too short to carry one.
std::optional<std::uint8_t> HartRequestCommand(std::span<const std::uint8_t> frame);

}  // namespace qt40
