#include "transport/HartIpEndpoint.h"

#include <gtest/gtest.h>

namespace qt40 {
namespace {

constexpr auto kTcp = HartIpProtocol::Tcp;
constexpr auto kUdp = HartIpProtocol::Udp;

TEST(HartIpEndpointTest, ParsesTheUrlsWeWrite) {
    struct Row {
        const char* url;
        HartIpEndpoint endpoint;
        const char* canonical;
    };
    const Row rows[] = {
        {"hartip://10.0.0.5", {kTcp, "10.0.0.5", 5094}, "hartip://10.0.0.5:5094"},
        {"hartip://10.0.0.5:20004", {kTcp, "10.0.0.5", 20004}, "hartip://10.0.0.5:20004"},
        {"hartip+udp://gw-3.plant.example", {kUdp, "gw-3.plant.example", 5094},
         "hartip+udp://gw-3.plant.example:5094"},
        {"HARTIP+UDP://Gateway:1", {kUdp, "Gateway", 1}, "hartip+udp://Gateway:1"},
        {"hartip://[::1]:5094", {kTcp, "::1", 5094}, "hartip://[::1]:5094"},
        {"hartip://[::1]", {kTcp, "::1", 5094}, "hartip://[::1]:5094"},
        {"hartip+udp://[fe80::1%eth0]:65535", {kUdp, "fe80::1%eth0", 65535},
         "hartip+udp://[fe80::1%eth0]:65535"},
        {"hartip://[::ffff:192.0.2.1]", {kTcp, "::ffff:192.0.2.1", 5094},
         "hartip://[::ffff:192.0.2.1]:5094"},
        {"  hartip://localhost/ ", {kTcp, "localhost", 5094}, "hartip://localhost:5094"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.url);
        EXPECT_TRUE(IsHartIpUrl(row.url));
        std::string why;
        const auto endpoint = ParseHartIpUrl(row.url, &why);
        ASSERT_TRUE(endpoint.has_value()) << why;
        EXPECT_EQ(*endpoint, row.endpoint);
        EXPECT_EQ(endpoint->Url(), row.canonical);
        EXPECT_EQ(ParseHartIpUrl(endpoint->Url()), endpoint);  // the written form reads back
    }
}

TEST(HartIpEndpointTest, RefusesMalformedUrlsWithAReason) {
    for (const char* url :
         {"hartip://", "hartip://:5094", "hartip://host:", "hartip://host:0", "hartip://host:65536",
          "hartip://host:50x", "hartip://host:123456", "hartip://::1", "hartip://::1:5094",
          "hartip://[::1", "hartip://[::1]5094", "hartip://[gateway]", "hartip://[::1%]",
          "hartip://host/path", "hartip://user@host", "hartip://host?x=1", "hartip://ho st",
          "hartip:///", "hartip+udp://[]"}) {
        SCOPED_TRACE(url);
        EXPECT_TRUE(IsHartIpUrl(url));  // never a serial port, even when malformed
        std::string why;
        EXPECT_FALSE(ParseHartIpUrl(url, &why).has_value());
        EXPECT_FALSE(why.empty());
    }
}

TEST(HartIpEndpointTest, EveryOtherNameIsASerialPort) {
    for (const char* name :
         {"/dev/ttyUSB0", "ttyS0", "COM3", "\\\\.\\COM12", "/dev/serial/by-id/usb-FTDI_FT232R-if00:port0",
          "hartip:/host", "hartip", "xhartip://host", "hartip+tcp://host", "udp://host:5094", ""}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(IsHartIpUrl(name));
        EXPECT_FALSE(ParseHartIpUrl(name).has_value());
    }
}

TEST(HartIpEndpointTest, ListenAddressDefaultsTheHost) {
    struct Row {
        const char* text;
        const char* host;
        std::uint16_t port;
    };
    const Row rows[] = {
        {"5094", "127.0.0.1", 5094}, {"0", "127.0.0.1", 0},         {"0.0.0.0:20004", "0.0.0.0", 20004},
        {"[::1]:0", "::1", 0},       {"localhost", "localhost", 5094},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        const auto endpoint = ParseHartIpListenAddress(row.text, "127.0.0.1");
        ASSERT_TRUE(endpoint.has_value());
        EXPECT_EQ(endpoint->host, row.host);
        EXPECT_EQ(endpoint->port, row.port);
    }
    for (const char* text : {"", "70000", "::1:5094", "host:x", "hartip://host"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(ParseHartIpListenAddress(text, "127.0.0.1").has_value());
    }
}

}  // namespace
}  // namespace qt40
