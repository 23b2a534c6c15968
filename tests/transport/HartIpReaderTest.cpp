#include "transport/HartIpReader.h"

#include <gtest/gtest.h>

#include <vector>

#include "hart/FrameCodec.h"
#include "sim/SimHartIpServer.h"

namespace qt40 {
namespace {

using Bytes = std::vector<std::uint8_t>;

// What a server sends one client over a session: the initiate answer, the
// device's real answer to command 0, a keep-alive answer (no body) and a
// publish message.
struct Stream {
    std::vector<HartIpReceived> messages;
    Bytes bytes;
};

Stream ServerStream() {
    sim::SimDevice device;
    const sim::GatewayResponder respond = sim::DeviceResponder(device);
    HartLink link;
    link.preambleCount = 0;
    Bytes request(32);
    request.resize(BuildRequestFrame(link, request));
    const Bytes answer = *respond(request);

    Stream s;
    auto add = [&](HartIpHeader h, Bytes body) {
        const Bytes wire = HartIpMessage(h, body);
        h.byteCount = static_cast<std::uint16_t>(wire.size());
        s.messages.push_back({h, body});
        s.bytes.insert(s.bytes.end(), wire.begin(), wire.end());
    };
    const auto session = EncodeHartIpSessionBody({1, 60000});
    add({1, HartIpMessageType::Response, HartIpMessageId::SessionInitiate, 0, 1, 0},
        Bytes(session.begin(), session.end()));
    add({1, HartIpMessageType::Response, HartIpMessageId::TokenPassingPdu, 0, 2, 0}, answer);
    add({1, HartIpMessageType::Response, HartIpMessageId::KeepAlive, 0, 3, 0}, {});
    add({1, HartIpMessageType::Publish, HartIpMessageId::TokenPassingPdu, 0, 0, 0}, answer);
    return s;
}

void ExpectSame(const std::vector<HartIpReceived>& got, const std::vector<HartIpReceived>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].header, want[i].header) << "message " << i;
        EXPECT_EQ(got[i].body, want[i].body) << "message " << i;
    }
}

std::vector<HartIpReceived> Drain(HartIpStreamReader& reader) {
    std::vector<HartIpReceived> out;
    while (auto m = reader.Next()) out.push_back(std::move(*m));
    return out;
}

TEST(HartIpStreamReaderTest, ReassemblesAStreamCutAtEveryByte) {
    const Stream s = ServerStream();
    // Two reads, the cut at every position; a message may end exactly at the cut.
    for (std::size_t cut = 0; cut <= s.bytes.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        HartIpStreamReader reader;
        ASSERT_TRUE(reader.Feed({s.bytes.data(), cut}));
        ASSERT_TRUE(reader.Feed({s.bytes.data() + cut, s.bytes.size() - cut}));
        ExpectSame(Drain(reader), s.messages);
        EXPECT_EQ(reader.Pending(), 0u);
    }
    // One byte a read, each message taken as soon as it is whole.
    HartIpStreamReader reader;
    std::vector<HartIpReceived> got;
    for (std::uint8_t b : s.bytes) {
        ASSERT_TRUE(reader.Feed({&b, 1}));
        for (auto& m : Drain(reader)) got.push_back(std::move(m));
    }
    ExpectSame(got, s.messages);
    // All four in one read.
    reader.Reset();
    ASSERT_TRUE(reader.Feed(s.bytes));
    ExpectSame(Drain(reader), s.messages);
}

TEST(HartIpStreamReaderTest, GivesUpAStreamWithAnImpossibleByteCount) {
    const Stream s = ServerStream();
    struct Row {
        const char* name;
        std::uint16_t count;
        HartIpReadFault fault;
    };
    const Row rows[] = {
        {"zero", 0, HartIpReadFault::CountTooSmall},
        {"shorter than the header", 7, HartIpReadFault::CountTooSmall},
        {"one above the limit", kHartIpMaxMessageSize + 1, HartIpReadFault::CountTooLarge},
        {"the largest count", 0xFFFF, HartIpReadFault::CountTooLarge},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        // A good message, then a header with the bad count, then a good one again.
        Bytes wire(s.bytes.begin(), s.bytes.begin() + 8 + 5);
        const Bytes bad{1, 1, 3, 0, 0, 9, static_cast<std::uint8_t>(row.count >> 8),
                        static_cast<std::uint8_t>(row.count)};
        wire.insert(wire.end(), bad.begin(), bad.end());
        wire.insert(wire.end(), s.bytes.begin(), s.bytes.end());
        HartIpStreamReader reader;
        EXPECT_FALSE(reader.Feed(wire));
        EXPECT_EQ(reader.Fault(), row.fault);
        // What came whole before the bad header is still handed out; nothing after it.
        ASSERT_EQ(Drain(reader).size(), 1u);
        EXPECT_FALSE(reader.Feed(s.bytes));
        EXPECT_FALSE(reader.Next().has_value());
        EXPECT_EQ(reader.Pending(), 0u);
    }
    // The limits themselves are messages: an empty body, and the longest.
    HartIpStreamReader reader;
    Bytes longest = HartIpMessage({}, Bytes(kHartIpMaxMessageSize - kHartIpHeaderSize, 0x55));
    ASSERT_TRUE(reader.Feed(HartIpMessage({}, {})));
    ASSERT_TRUE(reader.Feed(longest));
    const auto got = Drain(reader);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_TRUE(got[0].body.empty());
    EXPECT_EQ(got[1].header.byteCount, kHartIpMaxMessageSize);
}

TEST(HartIpDatagramTest, TakesExactlyOneMessageADatagram) {
    const Stream s = ServerStream();
    const Bytes one = HartIpMessage(s.messages[1].header, s.messages[1].body);
    Bytes twoInOne = one;
    twoInOne.insert(twoInOne.end(), one.begin(), one.end());
    Bytes countTooSmall = one;
    countTooSmall[6] = 0;
    countTooSmall[7] = 4;
    Bytes huge(kHartIpMaxMessageSize + 1, 0);
    huge[0] = 1;
    huge[6] = static_cast<std::uint8_t>(huge.size() >> 8);
    huge[7] = static_cast<std::uint8_t>(huge.size());
    struct Row {
        const char* name;
        Bytes datagram;
        HartIpReadFault fault;
    };
    const Row rows[] = {
        {"one message", one, HartIpReadFault::None},
        {"empty", {}, HartIpReadFault::TooShort},
        {"part of a header", Bytes(one.begin(), one.begin() + 7), HartIpReadFault::TooShort},
        {"cut short", Bytes(one.begin(), one.end() - 1), HartIpReadFault::SizeMismatch},
        {"two messages", twoInOne, HartIpReadFault::SizeMismatch},
        {"count below the header", countTooSmall, HartIpReadFault::CountTooSmall},
        {"above the limit", huge, HartIpReadFault::CountTooLarge},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        HartIpReadFault fault = HartIpReadFault::TooShort;
        const auto message = ParseHartIpDatagram(row.datagram, &fault);
        EXPECT_EQ(fault, row.fault);
        EXPECT_EQ(message.has_value(), row.fault == HartIpReadFault::None);
        if (message) {
            EXPECT_EQ(message->body, s.messages[1].body);
        }
    }
}

}  // namespace
}  // namespace qt40
