// Real frames of the commands the configurator sends and receives, decoded
// into words; the expected words were worked out by hand from the bytes.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "traffic/ExchangeText.h"
#include "traffic/FrameDecoder.h"

namespace qt40::traffic {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Row {
    const char* name;
    Bytes frame;
    std::string header;  // frame type, address, command as one line
    std::string response;
    std::string status;
    std::vector<std::string> fields;  // every field, in order
    std::string problem;              // empty: a whole frame with a right checksum
};

std::string Header(const DecodedFrame& f) {
    std::string text = f.frameType + " " + f.address + (f.primaryMaster ? " primary" : "") +
                       (f.burst ? " burst" : "") + (f.preambles ? " pre" + std::to_string(f.preambles) : "");
    return text + " " + f.CommandText();
}

const Row kRows[] = {
    {"command 0 request to polling address 3",
     {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x03, 0x00, 0x00, 0x01},
     "request 3 pre5 cmd 0 Read unique identifier",
     "",
     "",
     {},
     ""},
    {"command 0 answer: identity of a QT40",
     {0x06, 0x03, 0x00, 0x0E, 0x00, 0x00, 0xFE, 0x3F, 0x28, 0x05, 0x05, 0x01, 0x02, 0x0A, 0x00,
      0x00, 0x12, 0x34, 0xCD},
     "answer 3 cmd 0 Read unique identifier",
     "success",
     "0x00",
     {"Expansion code = 254", "Manufacturer ID = 63 (Orvale CO)", "Device type = 40 (QT40)",
      "Preambles = 5", "Universal revision = 5", "Transmitter revision = 1",
      "Firmware revision = 2", "Hardware revision = 1.2", "Flags = 0", "Device ID = 4660"},
     ""},
    {"command 3 answer with the configuration-changed bit",
     {0x86, 0x3F, 0x28, 0x00, 0x12, 0x34, 0x03, 0x10, 0x00, 0x40, 0x41, 0x40, 0x00,
      0x00, 0x20, 0x41, 0xCC, 0x00, 0x00, 0x20, 0xC0, 0x50, 0x00, 0x00, 0xF8},
     "answer 3F 28 00 12 34 cmd 3 Read loop current and dynamic variables",
     "success",
     "0x40 CFG",
     {"Loop current = 12 mA", "PV unit = 32 (degC)", "PV = 25.5 degC", "SV unit = 32 (degC)",
      "SV = -3.25 degC"},
     ""},
    {"command 13 answer: packed tag, blank descriptor, date",
     {0x86, 0x3F, 0x28, 0x00, 0x12, 0x34, 0x0D, 0x17, 0x00, 0x00, 0x04,
      0x28, 0x20, 0x82, 0x08, 0x20, 0x82, 0x08, 0x20, 0x82, 0x08, 0x20,
      0x82, 0x08, 0x20, 0x82, 0x08, 0x20, 0x1F, 0x0C, 0x6B, 0x73},
     "answer 3F 28 00 12 34 cmd 13 Read tag, descriptor, date",
     "success",
     "0x00",
     {"Tag = \"AB      \"", "Descriptor = \"                \"", "Date = 2007/12/31"},
     ""},
    {"command 35 request: PV range in degC",
     {0x82, 0x3F, 0x28, 0x00, 0x12, 0x34, 0x23, 0x09, 0x20, 0x42, 0xC8, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x33},
     "request 3F 28 00 12 34 cmd 35 Write PV range",
     "",
     "",
     {"PV unit = 32 (degC)", "Upper range value = 100 degC", "Lower range value = 0 degC"},
     ""},
    {"command 35 refused: its own meaning of code 9",
     {0x86, 0x3F, 0x28, 0x00, 0x12, 0x34, 0x23, 0x02, 0x09, 0x00, 0x9F},
     "answer 3F 28 00 12 34 cmd 35 Write PV range",
     "lower range value too high",
     "0x00",
     {},
     ""},
    {"communication error reported by the device",
     {0x86, 0x3F, 0x28, 0x00, 0x12, 0x34, 0x02, 0x02, 0x88, 0x00, 0x3F},
     "answer 3F 28 00 12 34 cmd 2 Read loop current and percent of range",
     "communication error: checksum error",
     "0x00",
     {},
     ""},
    {"busy, with malfunction and more status",
     {0x86, 0x3F, 0x28, 0x00, 0x12, 0x34, 0x03, 0x02, 0x20, 0x90, 0x06},
     "answer 3F 28 00 12 34 cmd 3 Read loop current and dynamic variables",
     "busy",
     "0x90 MAL MSA",
     {},
     ""},
    {"bad checksum: fields shown, the fault named",
     {0x86, 0x3F, 0x28, 0x00, 0x12, 0x34, 0x02, 0x0A, 0x00, 0x00, 0x40, 0x80, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x7E},
     "answer 3F 28 00 12 34 cmd 2 Read loop current and percent of range",
     "success",
     "0x00",
     {"Loop current = 4 mA", "Percent of range = 0 %"},
     "bad checksum 0x7E, expected 0x7F"},
    {"answer cut off inside its data",
     {0xFF, 0xFF, 0x86, 0x3F, 0x28, 0x00, 0x12, 0x34, 0x02, 0x0A, 0x00, 0x00, 0x40, 0x80, 0x00,
      0x00, 0x00},
     "answer 3F 28 00 12 34 pre2 cmd 2 Read loop current and percent of range",
     "success",
     "0x00",
     {"Loop current = 4 mA", "Further bytes = 00"},
     "frame ends after 15 of 19 bytes"},
    {"additional status bit by its label",
     {0x86, 0x3F, 0x28, 0x00, 0x12, 0x34, 0x30, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00,
      0x00, 0x8E},
     "answer 3F 28 00 12 34 cmd 48 Read additional status",
     "success",
     "0x00",
     {"Additional status 0 = 0x00", "Additional status 1 = 0x00", "Additional status 2 = 0x00",
      "Additional status 3 = 0x01 (Sensor 1 Wire Broken)", "Additional status 4 = 0x00",
      "Additional status 5 = 0x00"},
     ""},
    {"custom TC header: unsigned step, signed minimum",
     {0x86, 0x3F, 0x28, 0x00, 0x12, 0x34, 0xBE, 0x0A, 0x00, 0x00, 0x00, 0x01, 0x00, 0x0A, 0xFA,
      0xFF, 0x92, 0x01, 0x9E},
     "answer 3F 28 00 12 34 cmd 190 Read custom TC header",
     "success",
     "0x00",
     {"Header word = 1", "Size = 10", "Temperature step = 250 degC",
      "Minimum temperature = -110 degC", "Status = 1"},
     ""},
    {"sensor trim request: codes by name, unused bytes shown",
     {0x82, 0x3F, 0x28, 0x00, 0x12, 0x34, 0x99, 0x0E, 0x01, 0x02, 0x20, 0x42,
      0xC8, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x8D},
     "request 3F 28 00 12 34 cmd 153 Write sensor trim",
     "",
     "",
     {"Sensor number = 1 (sensor 1)", "Trim action = 2 (span point)", "Unit = 32 (degC)",
      "Trim value = 100 degC", "Further bytes = 00 00 00 00 00 00 00"},
     ""},
    {"a command the program does not send",
     {0x86, 0x3F, 0x28, 0x00, 0x12, 0x34, 0x63, 0x04, 0x00, 0x00, 0x01, 0x02, 0xD3},
     "answer 3F 28 00 12 34 cmd 99",
     "success",
     "0x00",
     {"Data = 01 02"},
     ""},
    {"command 0 answer torn after the maker: no name from a byte it does not hold",
     {0x06, 0x80, 0x00, 0x04, 0x00, 0x00, 0xFE, 0x3F, 0x28},
     "answer 0 primary cmd 0 Read unique identifier",
     "success",
     "0x00",
     {"Expansion code = 254", "Manufacturer ID = 63"},
     "bad checksum 0x28, expected 0x43"},
    {"table end marker: no point beside it",
     {0x82, 0x3F, 0x28, 0x00, 0x12, 0x34, 0xC1, 0x06, 0x27, 0x0F, 0x00, 0x00, 0x00, 0x00, 0x5C},
     "request 3F 28 00 12 34 cmd 193 Write custom TC point",
     "",
     "",
     {"Point index = 9999 (end of table)"},
     ""},
    {"special-curve point in percent, as the table shows it",
     {0x82, 0x3F, 0x28, 0x00, 0x12, 0x34, 0xBD, 0x0A, 0x00, 0x01, 0x3E, 0x82, 0x8F, 0x5C, 0x3F,
      0x00, 0x00, 0x00, 0x55},
     "request 3F 28 00 12 34 cmd 189 Write special-curve point",
     "",
     "",
     {"Point index = 1", "X = 25.5 %", "Y = 50 %"},
     ""},
    {"fixed current 0 leaves fixed-current mode",
     {0x82, 0x3F, 0x28, 0x00, 0x12, 0x34, 0x28, 0x04, 0x00, 0x00, 0x00, 0x00, 0x9F},
     "request 3F 28 00 12 34 cmd 40 Enter or leave fixed loop current",
     "",
     "",
     {"Fixed current = 0 mA (leave fixed current mode)"},
     ""},
    {"gain trim from a primary master",
     {0x82, 0xBF, 0x28, 0x00, 0x12, 0x34, 0x2E, 0x04, 0x41, 0xA0, 0x14, 0x7B, 0x97},
     "request 3F 28 00 12 34 primary cmd 46 Trim loop current gain",
     "",
     "",
     {"Measured current = 20.01 mA"},
     ""},
};

TEST(FrameDecoderTest, RealFramesInWords) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        const DecodedFrame f = DecodeFrame(row.frame);
        EXPECT_EQ(Header(f), row.header);
        EXPECT_EQ(f.responseText, row.response);
        EXPECT_EQ(f.StatusText(), row.status);
        std::vector<std::string> fields;
        for (const DecodedField& field : f.fields) fields.push_back(field.Text());
        EXPECT_EQ(fields, row.fields);
        EXPECT_EQ(f.problem, row.problem);
        EXPECT_EQ(f.complete && f.checksumOk, row.problem.empty());
    }
}

TEST(FrameDecoderTest, StatusBitsByTheirMeaning) {
    const DecodedFrame f = DecodeFrame(kRows[7].frame);
    EXPECT_EQ(f.statusBits, (std::vector<std::string>{"MAL (device malfunction)",
                                                      "MSA (more status available)"}));
}

// Whatever is cut off, the decoder reads no byte outside the frame and says
// where it ended.
TEST(FrameDecoderTest, EveryPrefixOfAFrameDecodesSafely) {
    const Bytes& whole = kRows[2].frame;
    for (std::size_t n = 0; n < whole.size(); ++n) {
        SCOPED_TRACE(n);
        const DecodedFrame f = DecodeFrame(Bytes(whole.begin(), whole.begin() + n));
        EXPECT_FALSE(f.complete);
        EXPECT_FALSE(f.problem.empty());
    }
    EXPECT_EQ(DecodeFrame(Bytes{0xFF, 0xFF}).problem, "no frame");
    EXPECT_EQ(DecodeFrame(Bytes{0x86, 0x3F, 0x28}).problem, "frame ends in its address");
}

// The detail pane says nothing the line did not carry: no master bit of an
// answer torn after its delimiter, no meaning of a response code behind a
// broken checksum.
TEST(FrameDecoderTest, DetailLinesClaimNothingThatWasNotReceived) {
    Exchange e;
    e.request = {0x02, 0x80, 0x00, 0x00, 0x82};
    e.outcome = Outcome::Incomplete;
    e.answer = {0x06};
    const auto torn = DetailLines(e);
    ASSERT_GE(torn.size(), 5u);
    EXPECT_NE(torn[1].find("primary master"), std::string::npos) << torn[1];
    EXPECT_EQ(torn[4], "Answer: answer, short address ") << torn[4];

    e.outcome = Outcome::BadChecksum;
    e.answer = {0x06, 0x80, 0x00, 0x02, 0x00, 0x00, 0x85};
    const auto bad = DetailLines(e);
    EXPECT_EQ(
        std::count(bad.begin(), bad.end(), "  Response code 0 (bad checksum: not to be trusted)"),
        1)
        << ::testing::PrintToString(bad);
    EXPECT_EQ(Columns(e).response, "bad checksum");

    // A communication error is no valid answer, not a refusal.
    e.outcome = Outcome::Answered;
    e.answer = {0x06, 0x80, 0x00, 0x02, 0x88, 0x00, 0x8C};
    EXPECT_EQ(e.Result(), ResultClass::Failed);
    e.answer = {0x06, 0x80, 0x00, 0x02, 0x20, 0x00, 0xA4};
    EXPECT_EQ(e.Result(), ResultClass::Refused);
}

}  // namespace
}  // namespace qt40::traffic
