// The answer side of every command on arbitrary answer bytes: the frame
// decoder on the bytes as they came and once more with a checksum that holds
// (so the decoders see them), then the decoder of every command of the
// command set on what was accepted, as the worker runs a step's decoder
// whatever command the answer names. Nothing may read or write outside the
// link's buffers or the device record's tables.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "hart/CommandSet.h"
#include "hart/FrameCodec.h"
#include "hart/HartFrame.h"
#include "hart/DeviceState.h"

namespace {

using namespace qt40;

void Check(const DeviceState& s) {
    if (s.link.byteCount > kDataBufferSize) std::abort();
    // A table transfer's point stays inside the table or on the end marker.
    const int p = s.pointIndex;
    if (p != kEndOfTableIndex && (p < 0 || p >= kCustomTableCapacity)) std::abort();
    if (s.record.tag.size() != 8 || s.record.descriptor.size() != 16 ||
        s.record.message.size() != 32) {
        std::abort();
    }
}

// Decoders only read the answer in the link state, so one session serves
// them all (the session is large: copying it per command would starve the
// fuzzer).
void DecodeWithEveryCommand(DeviceState& s, std::span<const std::uint8_t> frame) {
    s.link = HartLink{};
    if (!DecodeResponseFrame(s.link, frame)) return;
    for (int command = 0; command < 256; ++command) {
        const CommandStep* step = FindCommand(static_cast<std::uint8_t>(command));
        if (!step) continue;
        (void)DecodeAnswer(s, *step);
        Check(s);
    }
}

DeviceState& Session() {
    static DeviceState* session = [] {
        auto* s = new DeviceState;
        s->record.tag = std::string(8, ' ');
        s->record.descriptor = std::string(16, ' ');
        s->record.message = std::string(32, ' ');
        return s;
    }();
    return *session;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    DeviceState& start = Session();
    const std::span<const std::uint8_t> raw(data, size);

    DecodeWithEveryCommand(start, raw);

    // The same bytes with the checksum the header asks for, where they hold one.
    const ParsedFrame parsed = HartFrame::Parse(raw);
    if (!parsed.Whole()) return 0;
    std::vector<std::uint8_t> mended(data, data + size);
    mended[parsed.preambles + parsed.size - 1] = parsed.frame.ComputedCheck();
    DecodeWithEveryCommand(start, mended);
    return 0;
}
