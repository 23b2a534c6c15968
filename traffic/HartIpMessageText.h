#pragma once
// A HART-IP message in words, header and body: what the traffic view, the
// trace and `decode` show of the messages outside the exchanges (the
// session's own, refusals, late answers).

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "traffic/DecoderTexts.h"
#include "traffic/FrameDecoder.h"

namespace qt40::traffic {

struct DecodedMessage {
    std::string name;    // "HART-IP session initiate request"
    std::string status;  // "success", "no session available (status 15)"; "sent" for a request
    std::vector<DecodedField> fields;  // sequence number, the body's fields
};

// Never reads outside `message`; bytes that are no HART-IP message say so.
DecodedMessage DecodeHartIpMessage(std::span<const std::uint8_t> message,
                                   const DecoderTexts& texts = {});

}  // namespace qt40::traffic
