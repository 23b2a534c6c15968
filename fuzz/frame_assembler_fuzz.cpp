// The frame layer on arbitrary bytes: the parser reads no byte outside what
// it is given and builds back the bytes it read; the assembler, fed the same
// bytes one at a time, never holds more than the longest frame and reports
// only what the parser agrees with.
//
// Input: byte 0 picks what the assembler takes (frame type, preambles
// needed, plain delimiter only); the rest is the line.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "hart/FrameAssembler.h"
#include "hart/HartFrame.h"

namespace {

using namespace qt40;

void Check(bool ok) {
    if (!ok) std::abort();
}

void CheckParse(std::span<const std::uint8_t> bytes) {
    const ParsedFrame p = HartFrame::Parse(bytes);
    Check(p.preambles + p.size + p.trailing == bytes.size());
    Check(p.trailing == 0 || p.Whole());
    Check(p.HasCommand() == HartFrame::CommandOf(bytes).has_value());
    if (!p.Whole()) return;
    const HartFrame& f = p.frame;
    Check(p.size == f.Size() && f.Data().size() == f.ByteCount());
    const auto kind = f.Kind();
    if (!kind) return;
    // Built again from its fields: the same bytes, the check byte as it should be.
    const auto built = HartFrame::Make(*kind, f.Address(), f.Command(), f.Data(), f.Expansion());
    Check(built.has_value());
    std::vector<std::uint8_t> expected(
        bytes.begin() + static_cast<std::ptrdiff_t>(p.preambles),
        bytes.begin() + static_cast<std::ptrdiff_t>(p.preambles + p.size));
    expected[0] = HartFrame::DelimiterFor(*kind, f.Long(), f.Expansion().size());
    expected.back() = f.ComputedCheck() ^ f.Delimiter() ^ expected[0];
    Check(built->Bytes() == expected);
    Check(HartFrame::Parse(built->Bytes(p.preambles)).Sound());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t pick = data[0];
    const std::span<const std::uint8_t> line(data + 1, size - 1);
    static constexpr FrameKind kKinds[] = {FrameKind::Answer, FrameKind::Request, FrameKind::Burst,
                                           FrameKind::Answer};
    const FrameAssembler::Accepts accepts{kKinds[pick & 3], 1 + ((pick >> 2) & 3),
                                          (pick & 0x10) != 0};

    CheckParse(line);

    FrameAssembler assembler(accepts);
    std::size_t start = 0;  // where the bytes of the report to come began
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (assembler.Hunting()) start = i;
        const FrameAssembler::Fed fed = assembler.Feed(line[i]);
        const auto held = assembler.Bytes();
        Check(held.size() <= kMaxFrameSize);
        if (fed == FrameAssembler::Fed::Pending) continue;
        // The bytes reported are the last ones fed, after the preambles counted.
        Check(held.size() <= i + 1 &&
              std::equal(held.begin(), held.end(),
                         line.begin() + static_cast<std::ptrdiff_t>(i + 1 - held.size())));
        Check(assembler.Preambles() >= 1);
        if (fed == FrameAssembler::Fed::Garbage) {
            Check(held.size() == 1);
            continue;
        }
        const ParsedFrame p = HartFrame::Parse(held);
        Check(p.Whole() && p.trailing == 0 && p.preambles == 0);
        Check(p.Sound() == (fed == FrameAssembler::Fed::Frame));
        Check(p.frame.Kind() == accepts.kind);
        Check(assembler.Preambles() >= accepts.minPreambles);
        // The parser finds the same frame in the line from where its preambles began.
        const ParsedFrame again = HartFrame::Parse(line.subspan(start, i + 1 - start));
        Check(again.Whole() && again.trailing == 0 && again.size == held.size());
        CheckParse(line.subspan(start, i + 1 - start));
    }
    return 0;
}
