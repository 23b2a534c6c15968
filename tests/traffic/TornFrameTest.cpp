// Frames cut short, padded or answered with nothing: the decoder names where
// each one ends, and the traffic view's sorting finds no response code in a
// byte that is not one.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "traffic/Exchange.h"
#include "traffic/FrameDecoder.h"

namespace qt40::traffic {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(TornFrameTest, EveryCutNamesWhereTheFrameEnds) {
    struct Row {
        const char* name;
        Bytes frame;  // from the delimiter, whole
        std::size_t commandAt;
    };
    const Row rows[] = {
        {"short request", {0x02, 0x03, 0x00, 0x00, 0x01}, 2},
        {"long answer",
         {0x86, 0xBF, 0x28, 0x00, 0xA1, 0xB2, 0x03, 0x08, 0x00, 0x40, 0x41, 0x20, 0x00, 0x00, 0x20,
          0x42, 0x4A},
         6},
    };
    for (const Row& row : rows) {
        for (std::size_t cut = 0; cut < row.frame.size(); ++cut) {
            SCOPED_TRACE(std::string(row.name) + " cut at " + std::to_string(cut));
            Bytes bytes{0xFF, 0xFF, 0xFF};
            bytes.insert(bytes.end(), row.frame.begin(), row.frame.begin() + cut);
            const DecodedFrame f = DecodeFrame(bytes);
            const std::string expected = cut == 0               ? "no frame"
                                         : cut < row.commandAt  ? "frame ends in its address"
                                         : cut == row.commandAt ? "frame ends before its command"
                                         : cut == row.commandAt + 1
                                             ? "frame ends before its byte count"
                                             : "frame ends after " + std::to_string(cut) + " of " +
                                                   std::to_string(row.frame.size()) + " bytes";
            EXPECT_EQ(f.problem, expected);
            EXPECT_EQ(f.preambles, 3);
            EXPECT_EQ(f.command.has_value(), cut > row.commandAt);
            EXPECT_FALSE(f.complete);
        }
        Bytes padded = row.frame;
        padded.insert(padded.end(), {0x00, 0x00});
        EXPECT_EQ(DecodeFrame(padded).problem, "2 bytes after the checksum");
        EXPECT_TRUE(DecodeFrame(row.frame).problem.empty());
    }
}

// Given an answer whose byte count is 0, when the traffic view sorts it, then
// its check byte is not read as a response code: it is no valid answer.
TEST(TornFrameTest, AnAnswerWithoutDataHasNoResponseCode) {
    Exchange e;
    e.outcome = Outcome::Answered;
    e.request = {0x02, 0x00, 0x00, 0x00, 0x02};
    struct Row {
        Bytes answer;
        ResultClass result;
    };
    const Row rows[] = {
        {{0x06, 0x06, 0x00, 0x00, 0x00}, ResultClass::Failed},  // check byte 0x00
        {{0x06, 0x26, 0x00, 0x00, 0x20}, ResultClass::Failed},  // check byte 0x20
        {{0x06, 0x80, 0x00, 0x01, 0x00, 0x87}, ResultClass::Ok},
        {{0x06, 0x80, 0x00, 0x01, 0x20, 0xA7}, ResultClass::Refused},
    };
    for (const Row& row : rows) {
        e.answer = row.answer;
        EXPECT_EQ(e.Result(), row.result) << ::testing::PrintToString(row.answer);
    }
    EXPECT_EQ(e.Command(), 0);
}

}  // namespace
}  // namespace qt40::traffic
