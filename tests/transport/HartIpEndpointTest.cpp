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
        {"hartip+udp://gw-3.plant.example",
         {kUdp, "gw-3.plant.example", 5094},
         "hartip+udp://gw-3.plant.example:5094"},
        {"HARTIP+UDP://Gateway:1", {kUdp, "Gateway", 1}, "hartip+udp://Gateway:1"},
        {"hartip://[::1]:5094", {kTcp, "::1", 5094}, "hartip://[::1]:5094"},
        {"hartip://[::1]", {kTcp, "::1", 5094}, "hartip://[::1]:5094"},
        {"hartip+udp://[fe80::1%eth0]:65535",
         {kUdp, "fe80::1%eth0", 65535},
         "hartip+udp://[fe80::1%eth0]:65535"},
        {"hartip://[::ffff:192.0.2.1]",
         {kTcp, "::ffff:192.0.2.1", 5094},
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

TEST(HartIpEndpointTest, ADeviceBehindAnIoSystemIsNamedByCardAndChannel) {
    const auto at = [](HartIpProtocol p, const char* host, std::uint16_t port, int card,
                       int channel) {
        HartIpEndpoint e{p, host, port};
        e.card = static_cast<std::uint8_t>(card);
        e.channel = static_cast<std::uint8_t>(channel);
        return e;
    };
    struct Row {
        const char* url;
        HartIpEndpoint endpoint;
        const char* canonical;
    };
    const Row rows[] = {
        {"hartip://10.0.0.5/1/2", at(kTcp, "10.0.0.5", 5094, 1, 2), "hartip://10.0.0.5:5094/1/2"},
        {"hartip+udp://io-7:20004/0/15/", at(kUdp, "io-7", 20004, 0, 15),
         "hartip+udp://io-7:20004/0/15"},
        {"HARTIP://[::1]/255/007", at(kTcp, "::1", 5094, 255, 7), "hartip://[::1]:5094/255/7"},
        {" hartip://gw/3/4 ", at(kTcp, "gw", 5094, 3, 4), "hartip://gw:5094/3/4"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.url);
        std::string why;
        const auto endpoint = ParseHartIpUrl(row.url, &why);
        ASSERT_TRUE(endpoint.has_value()) << why;
        EXPECT_TRUE(endpoint->SubDevice());
        EXPECT_EQ(*endpoint, row.endpoint);
        EXPECT_EQ(endpoint->Url(), row.canonical);
        EXPECT_EQ(ParseHartIpUrl(endpoint->Url()), endpoint);
        // The I/O system itself is the URL without the path.
        EXPECT_EQ(endpoint->ServerUrl(),
                  std::string(row.canonical).substr(0, endpoint->ServerUrl().size()));
        EXPECT_FALSE(ParseHartIpUrl(endpoint->ServerUrl())->SubDevice());
    }
    struct Bad {
        const char* url;
        const char* reason;  // found in the reason given
    };
    const Bad bad[] = {
        {"hartip://gw/1", "a path or query (\"/1\") is not allowed in a HART-IP address"},
        {"hartip://gw/1/2/3", "a path or query (\"/1/2/3\")"},
        {"hartip://gw//2", "the card \"\" must be a number from 0 to 255"},
        {"hartip://gw/1/", "a path or query (\"/1\")"},
        {"hartip://gw/256/1", "the card \"256\" must be a number from 0 to 255"},
        {"hartip://gw/1/-2", "the channel \"-2\" must be a number from 0 to 255"},
        {"hartip://gw/0x1/2", "the card \"0x1\""},
        {"hartip://gw/1/2?x", "a path or query (\"/1/2?x\")"},
        {"hartip://gw:0/1/2", "the port \"0\""},
        {"hartip:///1/2", "no host"},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.url);
        std::string why;
        EXPECT_FALSE(ParseHartIpUrl(b.url, &why).has_value());
        EXPECT_NE(why.find(b.reason), std::string::npos) << why;
    }
}

TEST(HartIpEndpointTest, EveryOtherNameIsASerialPort) {
    for (const char* name :
         {"/dev/ttyUSB0", "ttyS0", "COM3", "\\\\.\\COM12",
          "/dev/serial/by-id/usb-FTDI_FT232R-if00:port0", "hartip:/host", "hartip",
          "xhartip://host", "hartip+tcp://host", "udp://host:5094", ""}) {
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
        {"5094", "127.0.0.1", 5094},         {"0", "127.0.0.1", 0},
        {"0.0.0.0:20004", "0.0.0.0", 20004}, {"[::1]:0", "::1", 0},
        {"localhost", "localhost", 5094},
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
