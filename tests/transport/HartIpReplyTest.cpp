#include "transport/HartIpReply.h"

#include <gtest/gtest.h>

#include <vector>

namespace qt40 {
namespace {

using Bytes = std::vector<std::uint8_t>;
using T = HartIpMessageType;
using I = HartIpMessageId;
using K = HartIpReplyKind;

TEST(HartIpReplyTest, TakesOnlyTheAnswerToTheWaitingRequest) {
    const HartIpHeader sent{1, T::Request, I::TokenPassingPdu, 0, 41, 0};
    struct Row {
        const char* name;
        HartIpHeader header;
        Bytes body;
        HartIpReply reply;
    };
    const Row rows[] = {
        {"the answer", {1, T::Response, I::TokenPassingPdu, 0, 41, 0}, {0x86}, {K::Answer, 0, false}},
        {"the answer with a status", {1, T::Response, I::TokenPassingPdu, 5, 41, 0}, {}, {K::Answer, 5, false}},
        {"a late answer to the previous request", {1, T::Response, I::TokenPassingPdu, 0, 40, 0}, {0x86}, {}},
        {"an answer from the future", {1, T::Response, I::TokenPassingPdu, 0, 42, 0}, {0x86}, {}},
        {"a keep-alive answer with our number", {1, T::Response, I::KeepAlive, 0, 41, 0}, {}, {}},
        {"a publish message", {1, T::Publish, I::TokenPassingPdu, 0, 41, 0}, {0x81}, {}},
        {"a request from the server", {1, T::Request, I::TokenPassingPdu, 0, 41, 0}, {}, {}},
        {"an error message for us", {1, T::Error, I::TokenPassingPdu, 0, 41, 0}, {2}, {K::Refusal, 2, false}},
        {"an error message for another", {1, T::Error, I::TokenPassingPdu, 0, 7, 0}, {2}, {}},
        {"a NAK for us", {1, T::Nak, I::TokenPassingPdu, 16, 41, 0}, {}, {K::Refusal, 16, true}},
        {"a NAK for another", {1, T::Nak, I::TokenPassingPdu, 16, 40, 0}, {}, {}},
        {"the session closed, any number", {1, T::Error, I::SessionClose, 0, 0, 0}, {0}, {K::SessionClosed, 0, false}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const HartIpReply reply = JudgeHartIpReply(sent, {row.header, row.body});
        EXPECT_EQ(reply.kind, row.reply.kind);
        EXPECT_EQ(reply.code, row.reply.code);
        EXPECT_EQ(reply.nak, row.reply.nak);
    }
}

// Command 13 answered by a long frame; command 0 by a short one.
Bytes WithChecksum(Bytes frame) {
    std::uint8_t sum = 0;
    for (std::uint8_t b : frame) sum ^= b;
    frame.push_back(sum);
    return frame;
}

TEST(HartIpReplyTest, FindsTheWholeAnswerFrameOfTheCommand) {
    const Bytes longAnswer = WithChecksum({0x86, 0xA6, 0x4E, 0x00, 0x00, 0x01, 13, 3, 0x00, 0x40, 0x7F});
    const Bytes shortAnswer = WithChecksum({0x06, 0x80, 0, 2, 0x00, 0x00});
    Bytes badSum = longAnswer;
    badSum.back() ^= 1;
    Bytes withPreambles{0xFF, 0xFF};
    withPreambles.insert(withPreambles.end(), longAnswer.begin(), longAnswer.end());
    Bytes trailing = longAnswer;
    trailing.push_back(0x00);
    struct Row {
        const char* name;
        Bytes body;
        std::uint8_t command;
        bool taken;
    };
    const Row rows[] = {
        {"long frame", longAnswer, 13, true},
        {"short frame", shortAnswer, 0, true},
        {"preambles in front", withPreambles, 13, true},
        {"another command's answer", longAnswer, 12, false},
        {"checksum wrong", badSum, 13, false},
        {"a byte too many", trailing, 13, false},
        {"a byte short", Bytes(longAnswer.begin(), longAnswer.end() - 1), 13, false},
        {"a request, not an answer", WithChecksum({0x82, 0xA6, 0x4E, 0, 0, 1, 13, 0}), 13, false},
        {"a burst frame", WithChecksum({0x81, 0xA6, 0x4E, 0, 0, 1, 13, 0}), 13, false},
        {"nothing", {}, 13, false},
        {"preambles only", {0xFF, 0xFF}, 13, false},
        {"a delimiter alone", {0x86}, 13, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto frame = HartAnswerFrame(row.body, row.command);
        EXPECT_EQ(!frame.empty(), row.taken);
        if (row.taken) {
            EXPECT_EQ(frame.front() & 0x07, 0x06);
            EXPECT_EQ(frame.data() + frame.size(), row.body.data() + row.body.size());
        }
    }
    EXPECT_EQ(HartRequestCommand(Bytes{0xFF, 0xFF, 0x02, 0x80, 0, 0, 0x82}), 0);
    EXPECT_EQ(HartRequestCommand(Bytes{0x82, 0xA6, 0x4E, 0, 0, 1, 130, 0, 0}), 130);
    EXPECT_FALSE(HartRequestCommand(Bytes{0x82, 0xA6, 0x4E}).has_value());
    EXPECT_FALSE(HartRequestCommand(Bytes{0xFF}).has_value());
}

}  // namespace
}  // namespace qt40
