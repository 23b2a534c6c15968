// The frame layer over real frames: parsed whole, cut short at every byte,
// built back to the same bytes, and cut out of noisy streams a byte at a time.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "hart/FrameAssembler.h"
#include "hart/HartFrame.h"

using namespace qt40;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Preambles(std::size_t n) {
    return Bytes(n, 0xFF);
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Frames from the delimiter through the check byte, as devices and masters send them.
const Bytes kIdentifyRequest{0x02, 0x00, 0x00, 0x00, 0x02};
const Bytes kIdentityAnswer{0x06, 0x80, 0x00, 0x0E, 0x00, 0x50, 0xFE, 0x3F, 0x28, 0x05,
                            0x05, 0x01, 0x01, 0x08, 0x00, 0x00, 0x00, 0x01, 0x38};
const Bytes kWriteRequest{0x82, 0x3F, 0x28, 0x00, 0xA1, 0xB2, 0x22,
                          0x04, 0x40, 0x00, 0x00, 0x00, 0xE0};
const Bytes kLongAnswer{0x86, 0xBF, 0x28, 0x00, 0xA1, 0xB2, 0x03, 0x08, 0x00,
                        0x40, 0x41, 0x20, 0x00, 0x00, 0x20, 0x42, 0x4A};
const Bytes kBurst{0x81, 0xA6, 0x4E, 0x00, 0x00, 0x01, 0x03, 0x02, 0x00, 0x00, 0x69};
const Bytes kEmptyRequest{0x82, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x81};

// The longest frame there is: a long answer with 255 data bytes.
Bytes Longest() {
    Bytes f{0x86, 0x3F, 0x28, 0x00, 0x00, 0x01, 0x80, 0xFF};
    for (int i = 0; i < 255; ++i) f.push_back(static_cast<std::uint8_t>(i));
    std::uint8_t sum = 0;
    for (auto b : f) sum ^= b;
    f.push_back(sum);
    return f;
}

struct FrameRow {
    const char* name;
    Bytes frame;  // from the delimiter
    FrameKind kind;
    bool longFrame;
    Bytes address;
    std::uint8_t command;
    std::size_t byteCount;
    std::optional<std::uint8_t> responseCode;
    std::optional<std::uint8_t> status;
    std::size_t payload;
};

std::vector<FrameRow> Frames() {
    return {
        {"identify request", kIdentifyRequest, FrameKind::Request, false, {0x00}, 0, 0, {}, {}, 0},
        {"identity answer",
         kIdentityAnswer,
         FrameKind::Answer,
         false,
         {0x80},
         0,
         14,
         0x00,
         0x50,
         12},
        {"long write request",
         kWriteRequest,
         FrameKind::Request,
         true,
         {0x3F, 0x28, 0x00, 0xA1, 0xB2},
         34,
         4,
         {},
         {},
         4},
        {"long answer",
         kLongAnswer,
         FrameKind::Answer,
         true,
         {0xBF, 0x28, 0x00, 0xA1, 0xB2},
         3,
         8,
         0x00,
         0x40,
         6},
        {"burst",
         kBurst,
         FrameKind::Burst,
         true,
         {0xA6, 0x4E, 0x00, 0x00, 0x01},
         3,
         2,
         0x00,
         0x00,
         0},
        {"byte count 0", kEmptyRequest, FrameKind::Request, true, {0, 0, 0, 0, 0}, 3, 0, {}, {}, 0},
        {"longest",
         Longest(),
         FrameKind::Answer,
         true,
         {0x3F, 0x28, 0x00, 0x00, 0x01},
         0x80,
         255,
         0x00,
         0x01,
         253},
    };
}

TEST(HartFrame, ParsesRealFramesWithAnyPreambles) {
    for (const FrameRow& row : Frames()) {
        for (std::size_t preambles : {0u, 2u, 5u, 30u}) {
            SCOPED_TRACE(std::string(row.name) + ", preambles " + std::to_string(preambles));
            const ParsedFrame p = HartFrame::Parse(Join({Preambles(preambles), row.frame}));
            ASSERT_TRUE(p.Sound());
            EXPECT_EQ(p.preambles, preambles);
            EXPECT_EQ(p.size, row.frame.size());
            EXPECT_EQ(p.trailing, 0u);
            const HartFrame& f = p.frame;
            EXPECT_EQ(f.Kind(), row.kind);
            EXPECT_EQ(f.Long(), row.longFrame);
            EXPECT_EQ(Bytes(f.Address().begin(), f.Address().end()), row.address);
            EXPECT_EQ(f.Command(), row.command);
            EXPECT_EQ(f.ByteCount(), row.byteCount);
            EXPECT_EQ(f.Data().size(), row.byteCount);
            EXPECT_EQ(f.ResponseCode(), row.responseCode);
            EXPECT_EQ(f.DeviceStatus(), row.status);
            EXPECT_EQ(f.Payload().size(), row.payload);
            EXPECT_EQ(f.CheckByte(), row.frame.back());
            EXPECT_EQ(f.Size(), row.frame.size());
            EXPECT_EQ(HartFrame::CommandOf(Join({Preambles(preambles), row.frame})), row.command);
            // Built again from its fields, it is the same bytes.
            const auto built = HartFrame::Make(row.kind, row.address, row.command, f.Data());
            ASSERT_TRUE(built);
            EXPECT_EQ(built->Bytes(preambles), Join({Preambles(preambles), row.frame}));
        }
    }
}

TEST(HartFrame, SaysWhereAFrameCutShortEnds) {
    for (const FrameRow& row : Frames()) {
        const std::size_t commandAt = row.longFrame ? 6 : 2;
        for (std::size_t cut = 0; cut < row.frame.size(); ++cut) {
            SCOPED_TRACE(std::string(row.name) + " cut at " + std::to_string(cut));
            const Bytes bytes =
                Join({Preambles(3), Bytes(row.frame.begin(), row.frame.begin() + cut)});
            const ParsedFrame p = HartFrame::Parse(bytes);
            const FrameEnd expected = cut == 0                     ? FrameEnd::NoDelimiter
                                      : cut < commandAt            ? FrameEnd::InAddress
                                      : cut == commandAt           ? FrameEnd::BeforeCommand
                                      : cut == commandAt + 1       ? FrameEnd::BeforeByteCount
                                      : cut < row.frame.size() - 1 ? FrameEnd::InData
                                                                   : FrameEnd::BeforeCheckByte;
            EXPECT_EQ(p.end, expected);
            EXPECT_FALSE(p.Whole());
            EXPECT_EQ(p.size, cut);
            EXPECT_EQ(p.HasCommand(), cut > commandAt);
            EXPECT_EQ(HartFrame::CommandOf(bytes).has_value(), cut > commandAt);
            // What came is kept: the address bytes and the data so far.
            EXPECT_EQ(p.frame.Address().size(),
                      cut == 0 ? 0 : std::min(cut - 1, row.address.size()));
            if (cut > commandAt + 1) {
                EXPECT_EQ(p.frame.Data().size(), cut - commandAt - 2);
            }
        }
    }
}

TEST(HartFrame, KeepsABadCheckByteAndTrailingBytes) {
    Bytes bad = kLongAnswer;
    bad.back() ^= 0x5A;
    const ParsedFrame p = HartFrame::Parse(bad);
    EXPECT_TRUE(p.Whole());
    EXPECT_FALSE(p.Sound());
    EXPECT_EQ(p.frame.CheckByte(), 0x4A ^ 0x5A);
    EXPECT_EQ(p.frame.ComputedCheck(), 0x4A);

    const ParsedFrame more = HartFrame::Parse(Join({kIdentifyRequest, {0x00, 0xFF}}));
    EXPECT_TRUE(more.Sound());
    EXPECT_EQ(more.size, kIdentifyRequest.size());
    EXPECT_EQ(more.trailing, 2u);
}

TEST(HartFrame, RefusesToBuildWhatNoFrameCanCarry) {
    const Bytes data(256, 0x00);
    const Bytes address{0x3F, 0x28, 0x00, 0x00, 0x01};
    EXPECT_FALSE(HartFrame::Make(FrameKind::Request, address, 3, data));
    EXPECT_TRUE(HartFrame::Make(FrameKind::Request, address, 3, std::span(data).first(255)));
    EXPECT_FALSE(HartFrame::Make(FrameKind::Request, Bytes{0x3F, 0x28}, 3, {}));
    EXPECT_FALSE(HartFrame::Make(FrameKind::Request, Bytes{}, 3, {}));

    // A buffer too small gets nothing, also for preambles beyond any size.
    const auto frame = HartFrame::Make(FrameKind::Request, Bytes{0x00}, 0, {});
    std::uint8_t small[9];
    EXPECT_EQ(frame->WriteTo(small, 5), 0u);
    EXPECT_EQ(frame->WriteTo(small, 4), 9u);
    EXPECT_EQ(frame->WriteTo(small, static_cast<std::size_t>(-3)), 0u);
}

// What an assembler reports for each byte that ends something, and the frames it gives.
struct Report {
    FrameAssembler::Fed fed;
    Bytes bytes;  // from the delimiter
    int preambles;
};

std::vector<Report> FeedAll(FrameAssembler& assembler, const Bytes& stream) {
    std::vector<Report> out;
    for (std::uint8_t b : stream) {
        const auto fed = assembler.Feed(b);
        if (fed == FrameAssembler::Fed::Pending) continue;
        out.push_back({fed, Bytes(assembler.Bytes().begin(), assembler.Bytes().end()),
                       assembler.Preambles()});
    }
    return out;
}

const FrameAssembler::Accepts kAnswers{FrameKind::Answer, 1, false};
const FrameAssembler::Accepts kPlainRequests{FrameKind::Request, 2, true};

TEST(FrameAssembler, CutsFramesOutOfStreams) {
    using Fed = FrameAssembler::Fed;
    Bytes badCheck = kIdentityAnswer;
    badCheck.back() ^= 0x01;
    struct Row {
        const char* name;
        FrameAssembler::Accepts accepts;
        Bytes stream;
        std::vector<Report> expected;
    };
    const Row rows[] = {
        {"answer after five preambles",
         kAnswers,
         Join({Preambles(5), kIdentityAnswer}),
         {{Fed::Frame, kIdentityAnswer, 5}}},
        {"one preamble is enough for the link",
         kAnswers,
         Join({Preambles(1), kLongAnswer}),
         {{Fed::Frame, kLongAnswer, 1}}},
        {"no preamble: nothing", kAnswers, kIdentityAnswer, {}},
        {"noise before the preambles",
         kAnswers,
         Join({{0x00, 0x13, 0x86, 0x7E}, Preambles(3), kLongAnswer}),
         {{Fed::Frame, kLongAnswer, 3}}},
        {"many preambles",
         kAnswers,
         Join({Preambles(400), kIdentityAnswer}),
         {{Fed::Frame, kIdentityAnswer, 400}}},
        {"the longest frame",
         kAnswers,
         Join({Preambles(5), Longest()}),
         {{Fed::Frame, Longest(), 5}}},
        {"bad check byte",
         kAnswers,
         Join({Preambles(2), badCheck}),
         {{Fed::BadCheck, badCheck, 2}}},
        {"a request is not a device's answer",
         kAnswers,
         Join({Preambles(5), kWriteRequest}),
         {{Fed::Garbage, {0x82}, 5}}},
        {"a burst frame is not an answer",
         kAnswers,
         Join({Preambles(5), kBurst}),
         {{Fed::Garbage, {0x81}, 5}}},
        {"noise between preambles and frame",
         kAnswers,
         Join({Preambles(2), {0x37}, kIdentityAnswer}),
         {{Fed::Garbage, {0x37}, 2}}},
        {"frames back to back with noise between",
         kAnswers,
         Join({Preambles(2), kIdentityAnswer, {0x00, 0x55}, Preambles(3), kLongAnswer}),
         {{Fed::Frame, kIdentityAnswer, 2}, {Fed::Frame, kLongAnswer, 3}}},
        {"after garbage the hunt starts again",
         kAnswers,
         Join({Preambles(2), {0x02}, {0x11}, Preambles(2), kIdentityAnswer}),
         {{Fed::Garbage, {0x02}, 2}, {Fed::Frame, kIdentityAnswer, 2}}},
        {"a device wants two preambles",
         kPlainRequests,
         Join({Preambles(1), kIdentifyRequest, Preambles(2), kIdentifyRequest}),
         {{Fed::Garbage, {0x02}, 1}, {Fed::Frame, kIdentifyRequest, 2}}},
        {"a device takes only the plain delimiter",
         kPlainRequests,
         Join({Preambles(2), {0x12, 0x00, 0x00, 0x00, 0x12}, Preambles(2), kWriteRequest}),
         {{Fed::Garbage, {0x12}, 2}, {Fed::Frame, kWriteRequest, 2}}},
        {"byte count 0",
         kPlainRequests,
         Join({Preambles(5), kEmptyRequest}),
         {{Fed::Frame, kEmptyRequest, 5}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FrameAssembler assembler(row.accepts);
        const auto got = FeedAll(assembler, row.stream);
        ASSERT_EQ(got.size(), row.expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].fed, row.expected[i].fed) << i;
            EXPECT_EQ(got[i].bytes, row.expected[i].bytes) << i;
            EXPECT_EQ(got[i].preambles, row.expected[i].preambles) << i;
        }
    }
}

// A frame torn at any byte: nothing is reported before its last byte, what
// came so far is held from the delimiter on, and the frame it gives at the
// end is the one the parser reads from the same bytes.
TEST(FrameAssembler, AFrameTornAtEveryByteIsHeldUntilItsLastByte) {
    for (const FrameRow& row : Frames()) {
        const FrameAssembler::Accepts accepts{row.kind, 2, false};
        const Bytes stream = Join({{0x3C}, Preambles(4), row.frame});
        FrameAssembler assembler(accepts);
        for (std::size_t i = 0; i < stream.size(); ++i) {
            SCOPED_TRACE(std::string(row.name) + " byte " + std::to_string(i));
            EXPECT_EQ(assembler.Hunting(), i < 2);
            const auto fed = assembler.Feed(stream[i]);
            const bool last = i + 1 == stream.size();
            EXPECT_EQ(fed, last ? FrameAssembler::Fed::Frame : FrameAssembler::Fed::Pending);
            const std::size_t frameBytes = i >= 5 ? i - 4 : 0;
            ASSERT_EQ(assembler.Bytes().size(), frameBytes);
            EXPECT_TRUE(
                std::equal(assembler.Bytes().begin(), assembler.Bytes().end(), row.frame.begin()));
        }
        const ParsedFrame p = assembler.Frame();
        EXPECT_TRUE(p.Sound());
        EXPECT_EQ(p.frame.Bytes(), row.frame);
        // The next byte starts afresh.
        EXPECT_EQ(assembler.Feed(0x00), FrameAssembler::Fed::Pending);
        EXPECT_TRUE(assembler.Bytes().empty());
        EXPECT_EQ(assembler.Preambles(), 0);
    }
}

}  // namespace
