#include "transport/HartIpHeader.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace qt40 {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct HeaderRow {
    const char* name;
    HartIpHeader header;
    Bytes wire;
};

// Field order and byte order as a HART-IP peer sends them.
const HeaderRow kRows[] = {
    {"session initiate request",
     {1, HartIpMessageType::Request, HartIpMessageId::SessionInitiate, 0, 1, 13},
     {0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x0D}},
    {"token-passing response, high sequence",
     {1, HartIpMessageType::Response, HartIpMessageId::TokenPassingPdu, 0, 0xBEEF, 0x0123},
     {0x01, 0x01, 0x03, 0x00, 0xBE, 0xEF, 0x01, 0x23}},
    {"NAK with a status",
     {1, HartIpMessageType::Nak, HartIpMessageId::KeepAlive, 16, 0xFFFF, 8},
     {0x01, 0x0F, 0x02, 0x10, 0xFF, 0xFF, 0x00, 0x08}},
};

TEST(HartIpHeaderTest, EncodesAndDecodesTheWireOrder) {
    for (const HeaderRow& row : kRows) {
        SCOPED_TRACE(row.name);
        std::array<std::uint8_t, kHartIpHeaderSize> out{};
        EncodeHartIpHeader(row.header, out);
        EXPECT_EQ(Bytes(out.begin(), out.end()), row.wire);
        EXPECT_EQ(DecodeHartIpHeader(row.wire), row.header);
    }
    EXPECT_FALSE(DecodeHartIpHeader(Bytes{1, 0, 3, 0, 0, 1, 0}).has_value());
}

TEST(HartIpHeaderTest, MessageCountsHeaderAndBody) {
    const Bytes pdu{0x82, 0x26, 0x4E, 0x00, 0x00, 0x01, 0x03, 0x00, 0xEE};
    const Bytes message = HartIpMessage({.sequence = 7}, pdu);
    ASSERT_EQ(message.size(), 17u);
    EXPECT_EQ(Bytes(message.begin(), message.begin() + 8),
              (Bytes{0x01, 0x00, 0x03, 0x00, 0x00, 0x07, 0x00, 0x11}));
    EXPECT_EQ(Bytes(message.begin() + 8, message.end()), pdu);
}

TEST(HartIpHeaderTest, SessionBodyCarriesHostTypeAndTimer) {
    const auto wire = EncodeHartIpSessionBody({kHartIpPrimaryHost, 60000});
    EXPECT_EQ(Bytes(wire.begin(), wire.end()), (Bytes{0x01, 0x00, 0x00, 0xEA, 0x60}));
    EXPECT_EQ(DecodeHartIpSessionBody(Bytes{0x00, 0xFF, 0x00, 0x00, 0x01, 0x99}),
              (HartIpSessionBody{kHartIpSecondaryHost, 0xFF000001}));
    EXPECT_FALSE(DecodeHartIpSessionBody(Bytes{0x01, 0x00, 0x00, 0xEA}).has_value());
}

}  // namespace
}  // namespace qt40
