// Frames with expansion bytes (a HART 7 device's, as an I/O system carries
// them), and the codecs of commands 74, 77 and 84 over literal answers.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hart/FrameAssembler.h"
#include "hart/HartFrame.h"
#include "hart/IoSystemCommands.h"
#include "hart/ResponseCodes.h"

using namespace qt40;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes WithCheck(Bytes frame) {
    std::uint8_t sum = 0;
    for (std::uint8_t b : frame) sum ^= b;
    frame.push_back(sum);
    return frame;
}

struct ExpansionRow {
    const char* name;
    Bytes frame;  // delimiter through check byte
    Bytes address;
    Bytes expansion;
    std::uint8_t command;
    Bytes data;
};

const ExpansionRow kExpansionRows[] = {
    {"long request, one expansion byte",
     WithCheck({0xA2, 0x3F, 0x28, 0x00, 0x00, 0x01, 0x00, 0x03, 0x00}),
     {0x3F, 0x28, 0x00, 0x00, 0x01},
     {0x00},
     3,
     {}},
    {"short answer, two expansion bytes",
     WithCheck({0x46, 0x80, 0x12, 0x34, 0x00, 0x02, 0x00, 0x40}),
     {0x80},
     {0x12, 0x34},
     0,
     {0x00, 0x40}},
    {"long answer, three expansion bytes",
     WithCheck(
         {0xE6, 0xA1, 0x2D, 0x0A, 0x0B, 0x0C, 0x01, 0x02, 0x03, 0x30, 0x03, 0x00, 0x00, 0x07}),
     {0xA1, 0x2D, 0x0A, 0x0B, 0x0C},
     {0x01, 0x02, 0x03},
     0x30,
     {0x00, 0x00, 0x07}},
};

TEST(ExpansionBytesTest, AFrameWithExpansionBytesParsesBuildsAndAssemblesRight) {
    for (const ExpansionRow& row : kExpansionRows) {
        SCOPED_TRACE(row.name);
        const ParsedFrame parsed = HartFrame::Parse(row.frame);
        ASSERT_TRUE(parsed.Sound());
        EXPECT_EQ(parsed.trailing, 0u);
        const HartFrame& f = parsed.frame;
        EXPECT_EQ(Bytes(f.Address().begin(), f.Address().end()), row.address);
        EXPECT_EQ(Bytes(f.Expansion().begin(), f.Expansion().end()), row.expansion);
        EXPECT_EQ(f.Command(), row.command);
        EXPECT_EQ(Bytes(f.Data().begin(), f.Data().end()), row.data);
        EXPECT_EQ(f.Size(), row.frame.size());
        EXPECT_EQ(HartFrame::CommandOf(row.frame), row.command);
        EXPECT_EQ(f.Bytes(), row.frame);

        // Built from its fields, it is the same frame.
        const auto made =
            HartFrame::Make(*f.Kind(), row.address, row.command, row.data, row.expansion);
        ASSERT_TRUE(made.has_value());
        Bytes withPreambles{0xFF, 0xFF, 0xFF};
        withPreambles.insert(withPreambles.end(), row.frame.begin(), row.frame.end());
        EXPECT_EQ(made->Bytes(3), withPreambles);

        // Cut short at every byte: never whole, and never read past the end;
        // a cut among the expansion bytes ends in the address.
        const std::size_t expansionStart = 1 + row.address.size();
        for (std::size_t n = 0; n < row.frame.size(); ++n) {
            const ParsedFrame cut = HartFrame::Parse(std::span(row.frame).first(n));
            EXPECT_FALSE(cut.Whole()) << n;
            if (n > expansionStart && n < expansionStart + row.expansion.size()) {
                EXPECT_EQ(cut.end, FrameEnd::InAddress) << n;
            }
            if (n == expansionStart + row.expansion.size()) {
                EXPECT_EQ(cut.end, FrameEnd::BeforeCommand);
            }
        }

        // Fed a byte at a time behind noise and preambles.
        FrameAssembler assembler({.kind = *f.Kind(), .minPreambles = 2, .plainDelimiter = false});
        Bytes stream{0x00, 0x7E, 0xFF, 0xFF, 0xFF};
        stream.insert(stream.end(), row.frame.begin(), row.frame.end());
        FrameAssembler::Fed last = FrameAssembler::Fed::Pending;
        for (std::uint8_t b : stream) last = assembler.Feed(b);
        EXPECT_EQ(last, FrameAssembler::Fed::Frame);
        EXPECT_EQ(Bytes(assembler.Bytes().begin(), assembler.Bytes().end()), row.frame);
    }
    const Bytes four{1, 2, 3, 4};
    const Bytes address{0x80};
    EXPECT_FALSE(HartFrame::Make(FrameKind::Request, address, 0, {}, four).has_value());
}

// A HART 7 command 0 answer payload of an I/O system: 254, expanded device
// type E1 2D (its top two bits are no part of the address), …, device ID 0A 0B 0C.
const Bytes kIoSystemIdentity{0xFE, 0xE1, 0x2D, 0x05, 0x07, 0x01, 0x01, 0x08, 0x00, 0x0A, 0x0B,
                              0x0C, 0x05, 0x03, 0x00, 0x60, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

TEST(IoSystemCommandsTest, TheIoSystemsLongAddressMasksItsExpandedDeviceType) {
    using Address = std::array<std::uint8_t, 5>;
    ASSERT_TRUE(LongAddressFromIdentity(kIoSystemIdentity).has_value());
    EXPECT_EQ(*LongAddressFromIdentity(kIoSystemIdentity), (Address{0x21, 0x2D, 0x0A, 0x0B, 0x0C}));
    EXPECT_EQ(*LongAddressFromIdentity(kIoSystemIdentity, 0x80),
              (Address{0xA1, 0x2D, 0x0A, 0x0B, 0x0C}));
    EXPECT_FALSE(LongAddressFromIdentity(std::span(kIoSystemIdentity).first(11)).has_value());
}

TEST(IoSystemCommandsTest, CapabilitiesAndIdentitySummariesReadByField) {
    const Bytes caps{4, 16, 1, 0x00, 0x21, 4, 1, 3};
    const auto c = ParseIoSystemCapabilities(caps);
    ASSERT_TRUE(c.has_value());
    EXPECT_EQ(c->maxCards, 4);
    EXPECT_EQ(c->maxChannelsPerCard, 16);
    EXPECT_EQ(c->maxSubDevicesPerChannel, 1);
    EXPECT_EQ(c->devicesDetected, 33);
    EXPECT_EQ(c->maxDelayedResponses, 4);
    EXPECT_TRUE(c->primaryMaster);
    EXPECT_EQ(c->retryCount, 3);
    EXPECT_FALSE(ParseIoSystemCapabilities(std::span(caps).first(7)).has_value());

    // Sub-device 2: card 1, channel 5, a HART 5 QT40 (manufacturer 0x3F, type 0x28).
    Bytes summary{0x00, 0x02, 1, 5, 0x00, 0x3F, 0x3F, 0x28, 0x00, 0x12, 0x34, 5};
    const std::string tag = "TT-101 K\xFChler";  // Latin-1
    Bytes tagBytes(32, 0x00);
    std::copy(tag.begin(), tag.end(), tagBytes.begin());
    summary.insert(summary.end(), tagBytes.begin(), tagBytes.end());
    summary.insert(summary.end(), {8, 0x01, 0x00, 0x3F});
    ASSERT_EQ(summary.size(), 48u);
    const auto s = ParseSubDeviceIdentity(summary);
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->index, 2);
    EXPECT_EQ(s->card, 1);
    EXPECT_EQ(s->channel, 5);
    EXPECT_EQ(s->manufacturerId, 0x3F);
    EXPECT_EQ(s->expandedDeviceType, 0x3F28);
    EXPECT_EQ(s->deviceId, 0x1234u);
    EXPECT_EQ(s->universalRevision, 5);
    EXPECT_EQ(s->longTag, "TT-101 K\xC3\xBChler");  // UTF-8, the NULs taken off
    EXPECT_EQ(s->deviceRevision, 8);
    EXPECT_EQ(s->deviceProfile, 1);
    EXPECT_EQ(s->privateLabel, 0x3F);
    EXPECT_FALSE(ParseSubDeviceIdentity(std::span(summary).first(47)).has_value());
    EXPECT_EQ(SubDeviceIdentityRequest(0x0102), (std::array<std::uint8_t, 2>{0x01, 0x02}));
}

TEST(IoSystemCommandsTest, CommandSeventySevenCarriesTheFrameWithoutPreamblesAndCheckByte) {
    // Command 3 to the QT40 at 3F 28 00 00 01, behind five preambles.
    const Bytes request{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x82, 0x3F,
                        0x28, 0x00, 0x00, 0x01, 0x03, 0x00, 0x97};
    const auto data = SubDeviceRequestData({2, 7}, 5, request);
    ASSERT_TRUE(data.has_value());
    EXPECT_EQ(*data, (Bytes{2, 7, 5, 0x82, 0x3F, 0x28, 0x00, 0x00, 0x01, 0x03, 0x00}));
    const auto back = ParseSubDeviceRequest(*data);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->place, (SubDevicePlace{2, 7}));
    EXPECT_EQ(back->preambles, 5);
    EXPECT_EQ(back->frame.Bytes(), Bytes(request.begin() + 5, request.end()));

    // A request that would not fit in 255 bytes, and what is no whole request.
    const Bytes big(252, 0x00);
    const Bytes longAddress{0x3F, 0x28, 0x00, 0x00, 0x01};
    const Bytes bigRequest = HartFrame::Make(FrameKind::Request, longAddress, 130, big)->Bytes();
    EXPECT_FALSE(SubDeviceRequestData({0, 0}, 5, bigRequest).has_value());
    EXPECT_FALSE(
        SubDeviceRequestData({0, 0}, 5, std::span(request).first(request.size() - 1)).has_value());

    // The answer: card, channel, the device's frame from its delimiter through its data.
    const Bytes inner{0x86, 0x3F, 0x28, 0x00, 0x00, 0x01, 0x03, 0x04, 0x00, 0x00, 0x41, 0x20};
    Bytes payload{2, 7};
    payload.insert(payload.end(), inner.begin(), inner.end());
    const auto answer = ParseSubDeviceAnswer(payload);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->place, (SubDevicePlace{2, 7}));
    EXPECT_EQ(answer->frame.Bytes(), WithCheck(inner));
    EXPECT_EQ(answer->frame.ResponseCode(), 0);

    struct Refused {
        const char* name;
        Bytes payload;
    };
    Bytes withCheck = payload;
    withCheck.push_back(WithCheck(inner).back());
    Bytes request77{2, 7};
    request77.insert(request77.end(), request.begin() + 5, request.end() - 1);
    const Refused refused[] = {
        {"card and channel alone", {2, 7}},
        {"the check byte included", withCheck},
        {"a frame cut short", Bytes(payload.begin(), payload.end() - 1)},
        {"a request where the answer belongs", request77},
        {"preambles before the frame",
         [&] {
             Bytes b{2, 7, 0xFF};
             b.insert(b.end(), inner.begin(), inner.end());
             return b;
         }()},
    };
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.name);
        EXPECT_FALSE(ParseSubDeviceAnswer(r.payload).has_value());
    }
    EXPECT_EQ(ResponseCodeText(77, 21), "invalid I/O card number");
    EXPECT_EQ(ResponseCodeText(77, 22), "invalid channel number");
    EXPECT_EQ(ResponseCodeText(77, 35), "delayed response dead");
}

}  // namespace
