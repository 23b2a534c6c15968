#pragma once
// The 19 requests of a connection and upload (command 0 at the polling
// address, then the 18-command upload list), built with the frame codec as the
// link builds them for a transport, sent through it and decoded into a session
// as the worker decodes them. For tests, the capture check and the benchmark.

#include <cstdint>
#include <string>
#include <vector>

#include "hart/CommandSet.h"
#include "hart/FrameCodec.h"
#include "hart/DeviceState.h"
#include "link/RequestTable.h"
#include "transport/FrameTransport.h"

namespace qt40::testing {

struct UploadRun {
    std::vector<std::uint8_t> commands;  // as sent, in order
    int accepted = 0;                    // answers taken and decoded
    std::string failure;                 // the first failure, empty when none
};

inline std::vector<const CommandStep*> UploadSteps() {
    std::vector<const CommandStep*> steps{FindCommand(0)};
    for (const CommandStep& step : StepsOf(FindRequest(WorkerRequest::Upload)->steps))
        steps.push_back(&step);
    return steps;
}

// One request through `transport`; true when the answer was taken and decoded.
inline bool RunStep(FrameTransport& transport, DeviceState& session, const CommandStep& step,
                    int timeoutMs, std::string* failure = nullptr) {
    session.link.preambleCount = transport.Timing().requestPreambles;
    session.link.pollingAddress = session.record.pollingAddress;
    PrepareRequest(session, step);
    std::vector<std::uint8_t> frame(kMaxFrameSize + 16);
    frame.resize(BuildRequestFrame(session.link, frame));
    std::vector<std::uint8_t> answer(kMaxFrameSize);
    std::size_t size = 0;
    const CommResult result = transport.Exchange(frame, answer, size, timeoutMs);
    if (result != kCommSuccess) {
        if (failure) *failure = "command " + std::to_string(step.command) + ": " + transport.LastError();
        return false;
    }
    if (!DecodeResponseFrame(session.link, std::span<const std::uint8_t>(answer.data(), size)) ||
        !DecodeAnswer(session, step)) {
        if (failure) *failure = "command " + std::to_string(step.command) + ": answer refused";
        return false;
    }
    return true;
}

inline UploadRun RunUpload(FrameTransport& transport, DeviceState& session, int timeoutMs) {
    UploadRun run;
    for (const CommandStep* step : UploadSteps()) {
        run.commands.push_back(step->command);
        std::string failure;
        if (!RunStep(transport, session, *step, timeoutMs, &failure)) {
            if (run.failure.empty()) run.failure = failure;
            continue;
        }
        ++run.accepted;
    }
    return run;
}

}  // namespace qt40::testing
