// A capture file as anyone may hand it to `decode`: read as pcapng, its
// HART-IP messages paired, every exchange decoded into words and written
// back as a capture. Nothing may read outside the file's bytes, and what is
// written must read back to the same exchanges.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "traffic/CaptureReader.h"
#include "traffic/CaptureWriter.h"
#include "traffic/ExchangeText.h"
#include "traffic/FrameDecoder.h"

using namespace qt40::traffic;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string error;
    const auto capture = CaptureReader::Read(std::span(data, size), error);
    if (!capture) return 0;
    CaptureWriter writer({"fuzz", 0, 0, "fuzz"}, Transport::Serial);
    std::size_t sent = 0;
    for (Exchange e : capture->exchanges) {
        (void)DetailLines(e);
        (void)TraceLines(e);
        (void)Columns(e);
        // A HART-IP session's own message has no serial form: it is read and
        // put into words above, not written back.
        if (e.sessionMessage) continue;
        e.transport = Transport::Serial;
        e.requestMessage.clear();
        e.answerMessage.clear();
        if (e.sentUs < 0 || e.endedUs < e.sentUs) continue;
        writer.Add(e);
        if (e.Sent()) ++sent;
    }
    const auto again = CaptureReader::Read(writer.Finish(), error);
    if (!again || again->exchanges.size() != sent) std::abort();
    return 0;
}
