#pragma once
// The master side of one exchange with the simulated transmitter, without a
// serial line in between: encode, frame, answer, decode.

#include <optional>
#include <vector>

#include "hart/CommandSet.h"
#include "hart/FrameCodec.h"
#include "hart/DeviceState.h"
#include "sim/SimDevice.h"

namespace qt40::testing {

enum : int { kSilence = -1, kShortAnswer = -2 };

struct SimLoop {
    DeviceState session;
    sim::SimDevice device;

    // Runs one command; returns 0 when the answer was accepted and decoded, the
    // response code when it was rejected, or one of the negative outcomes.
    int Run(std::uint8_t command) {
        PrepareRequest(session, *FindCommand(command));
        std::vector<std::uint8_t> frame(kMaxFrameSize + 8);
        frame.resize(BuildRequestFrame(session.link, frame));
        const auto reply = device.Handle(frame);
        if (!reply) return kSilence;
        std::size_t start = 0;
        while (start < reply->bytes.size() && reply->bytes[start] != 0xFF) ++start;  // noise
        while (start < reply->bytes.size() && reply->bytes[start] == 0xFF) ++start;
        const std::span<const std::uint8_t> answer(reply->bytes.data() + start,
                                                   reply->bytes.size() - start);
        if (!DecodeResponseFrame(session.link, answer)) {
            return session.link.responseCode ? session.link.responseCode : 0x100;
        }
        return DecodeAnswer(session, *FindCommand(command)) ? 0 : kShortAnswer;
    }

    // Identifies the device at the polling address so long frames reach it.
    int Connect() {
        session.link.pollingAddress = session.record.pollingAddress;
        return Run(0);
    }
};

}  // namespace qt40::testing
