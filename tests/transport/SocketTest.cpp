// The socket layer on the loopback: address texts, name look-up and the
// faults each platform's calls must map alike.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "transport/NameLookup.h"
#include "transport/Socket.h"

namespace qt40 {
namespace {

SocketAddress Literal(const std::string& host, std::uint16_t port,
                      SocketType type = SocketType::Stream) {
    SocketFault fault = SocketFault::None;
    std::string text;
    const auto found = NameLookup::Resolve(host, port, type, 1000, nullptr, fault, text);
    EXPECT_EQ(fault, SocketFault::None) << text;
    return found.empty() ? SocketAddress{} : found.front();
}

TEST(SocketAddressTest, WritesEachFamilyAsAUrlWantsIt) {
    struct Row {
        const char* host;
        std::uint16_t port;
        bool ipv6;
        const char* hostText;
        const char* text;
    };
    const Row rows[] = {
        {"127.0.0.1", 5094, false, "127.0.0.1", "127.0.0.1:5094"},
        {"192.0.2.1", 0, false, "192.0.2.1", "192.0.2.1:0"},
        {"::1", 5094, true, "::1", "[::1]:5094"},
        {"2001:db8::17", 65535, true, "2001:db8::17", "[2001:db8::17]:65535"},
        {"::ffff:192.0.2.1", 1, true, "::ffff:192.0.2.1", "[::ffff:192.0.2.1]:1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.host);
        const SocketAddress a = Literal(row.host, row.port);
        ASSERT_TRUE(a.Valid());
        EXPECT_EQ(a.IsIpv6(), row.ipv6);
        EXPECT_EQ(a.Port(), row.port);
        EXPECT_EQ(a.HostText(), row.hostText);
        EXPECT_EQ(a.Text(), row.text);
        EXPECT_EQ(Literal(a.HostText(), a.Port()).Text(), a.Text());  // the text reads back
    }
    // An address not set at all has no text to show and no port.
    const SocketAddress none;
    EXPECT_FALSE(none.Valid());
    EXPECT_FALSE(none.IsIpv6());
    EXPECT_EQ(none.Port(), 0);
    EXPECT_EQ(none.HostText(), "");
}

TEST(SocketAddressTest, ComparesHostsAndPortsWithinAFamilyOnly) {
    const SocketAddress v4 = Literal("127.0.0.1", 5094);
    const SocketAddress v4Other = Literal("127.0.0.2", 5094);
    const SocketAddress v6 = Literal("::1", 5094);
    const SocketAddress moved = v4.WithPort(20004);
    EXPECT_EQ(moved.Text(), "127.0.0.1:20004");
    EXPECT_EQ(v6.WithPort(7).Text(), "[::1]:7");
    EXPECT_TRUE(moved.SameHost(v4));
    EXPECT_FALSE(moved.SameAs(v4));
    EXPECT_TRUE(moved.WithPort(5094).SameAs(v4));
    EXPECT_FALSE(v4Other.SameHost(v4));
    EXPECT_FALSE(v6.SameHost(v4));
    EXPECT_FALSE(v4.SameHost(v6));
    EXPECT_FALSE(SocketAddress{}.SameHost(SocketAddress{}));
    EXPECT_FALSE(SocketAddress{}.WithPort(1).Valid());
}

TEST(SocketAddressTest, TakesNoMoreOfASystemAddressThanItHolds) {
    std::vector<std::uint8_t> large(300, 0xAB);
    const SocketAddress cut = SocketAddress::FromSystem(large.data(), large.size());
    EXPECT_EQ(cut.size, cut.bytes.size());
    EXPECT_EQ(cut.bytes.back(), 0xAB);
    EXPECT_FALSE(SocketAddress::FromSystem(large.data(), 0).Valid());
}

TEST(NameLookupTest, AnswersLiteralsAtOnceAndNamesOnlyWhileNotAborted) {
    std::atomic<bool> abort{true};
    SocketFault fault = SocketFault::Other;
    std::string text = "stale";
    // A literal needs no look-up, so a raised flag does not stop it.
    auto found =
        NameLookup::Resolve("127.0.0.1", 5094, SocketType::Datagram, 1000, &abort, fault, text);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found.front().Text(), "127.0.0.1:5094");
    EXPECT_EQ(fault, SocketFault::None);
    EXPECT_EQ(text, "");

    // A name does.
    found = NameLookup::Resolve("localhost", 5094, SocketType::Stream, 1000, &abort, fault, text);
    EXPECT_TRUE(found.empty());
    EXPECT_EQ(fault, SocketFault::Aborted);
    EXPECT_EQ(text, "name lookup aborted");

    abort = false;
    found = Socket::Resolve("localhost", 5094, SocketType::Stream, 5000, &abort, fault, text);
    ASSERT_FALSE(found.empty()) << text;
    EXPECT_EQ(fault, SocketFault::None);
    bool loopback = false;
    for (const SocketAddress& a : found) {
        EXPECT_EQ(a.Port(), 5094);
        loopback = loopback || a.HostText() == "127.0.0.1" || a.HostText() == "::1";
    }
    EXPECT_TRUE(loopback);
}

// A connected pair of streams on the loopback.
struct StreamPair {
    Socket listener, client, server;

    StreamPair() {
        EXPECT_TRUE(listener.Listen(Literal("127.0.0.1", 0), SocketType::Stream))
            << listener.LastError();
        EXPECT_TRUE(client.Connect(listener.LocalAddress(), SocketType::Stream, 2000, nullptr))
            << client.LastError();
        Socket* waiting[] = {&listener};
        for (int i = 0; i < 40 && !server.IsOpen(); ++i) {
            Socket::WaitReadable(waiting, 50);
            server = listener.Accept();
        }
        EXPECT_TRUE(server.IsOpen());
    }
};

TEST(SocketTest, EachEndingOfAnExchangeHasItsOwnFault) {
    std::array<std::uint8_t, 16> buffer{};
    std::atomic<bool> abort{false};

    StreamPair pair;
    // Nothing sent: a look only, then a wait, both time out.
    EXPECT_EQ(pair.server.Receive(buffer, 0, nullptr).fault, SocketFault::TimedOut);
    EXPECT_EQ(pair.server.Receive(buffer, 60, &abort).fault, SocketFault::TimedOut);
    // Bytes waiting do not keep a stopping caller.
    const std::uint8_t hello[] = {1, 2, 3};
    ASSERT_TRUE(pair.client.Send(hello, 1000, nullptr)) << pair.client.LastError();
    abort = true;
    EXPECT_EQ(pair.server.Receive(buffer, 1000, &abort).fault, SocketFault::Aborted);
    EXPECT_EQ(pair.server.LastFault(), SocketFault::Aborted);
    abort = false;
    SocketAddress from;
    const Socket::Received got = pair.server.Receive(buffer, 1000, &abort, &from);
    EXPECT_EQ(got.fault, SocketFault::None);
    EXPECT_EQ(got.size, 3u);
    // The peer's orderly end.
    pair.client.Close();
    EXPECT_EQ(pair.server.Receive(buffer, 1000, nullptr).fault, SocketFault::Closed);
    EXPECT_EQ(pair.server.LastError(), "the peer closed the connection");

    // A closed socket says so instead of calling the system.
    Socket closed;
    EXPECT_FALSE(closed.Send(hello, 100, nullptr));
    EXPECT_EQ(closed.LastFault(), SocketFault::Other);
    EXPECT_EQ(closed.LastError(), "not open");
    EXPECT_EQ(closed.Receive(buffer, 0, nullptr).fault, SocketFault::Other);
    EXPECT_FALSE(closed.LocalAddress().Valid());
    EXPECT_FALSE(closed.Accept().IsOpen());
}

TEST(SocketTest, APortNobodyListensOnRefusesWithTheAddressInTheText) {
    Socket gone;
    ASSERT_TRUE(gone.Listen(Literal("127.0.0.1", 0), SocketType::Stream)) << gone.LastError();
    const SocketAddress address = gone.LocalAddress();
    gone.Close();

    Socket client;
    EXPECT_FALSE(client.Connect(address, SocketType::Stream, 5000, nullptr));
    EXPECT_FALSE(client.IsOpen());
    EXPECT_EQ(client.LastFault(), SocketFault::Refused) << client.LastError();
    EXPECT_EQ(client.LastError().rfind("connect to " + address.Text() + ": ", 0), 0u)
        << client.LastError();

    // A second server on a port in use is refused with the address it wanted.
    Socket first, second;
    ASSERT_TRUE(first.Listen(Literal("127.0.0.1", 0), SocketType::Stream));
    EXPECT_FALSE(second.Listen(first.LocalAddress(), SocketType::Stream));
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(second.LastError().rfind("bind " + first.LocalAddress().Text() + ": ", 0), 0u)
        << second.LastError();
}

TEST(SocketTest, DatagramsCarryTheirSenderAndOnlyWaitingSocketsAreReadable) {
    Socket server, client, idle;
    ASSERT_TRUE(server.Listen(Literal("127.0.0.1", 0, SocketType::Datagram), SocketType::Datagram))
        << server.LastError();
    ASSERT_TRUE(idle.Listen(Literal("127.0.0.1", 0, SocketType::Datagram), SocketType::Datagram));
    ASSERT_TRUE(client.OpenDatagram(server.LocalAddress()));
    ASSERT_TRUE(client.SetPeer(server.LocalAddress())) << client.LastError();
    const std::uint8_t datagram[] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x0D};
    ASSERT_TRUE(client.Send(datagram, 1000, nullptr)) << client.LastError();

    Socket closed;
    Socket* sockets[] = {&idle, &server, nullptr, &closed};
    const std::vector<bool> ready = Socket::WaitReadable(sockets, 2000);
    EXPECT_EQ(ready, (std::vector<bool>{false, true, false, false}));

    // A datagram larger than the buffer comes cut to it, from its sender.
    std::array<std::uint8_t, 4> small{};
    SocketAddress from;
    const Socket::Received got = server.Receive(small, 1000, nullptr, &from);
    EXPECT_EQ(got.fault, SocketFault::None);
    EXPECT_EQ(got.size, small.size());
    EXPECT_TRUE(from.SameAs(client.LocalAddress())) << from.Text();

    // The answer goes back to the sender alone.
    ASSERT_TRUE(server.SendTo(datagram, from)) << server.LastError();
    std::array<std::uint8_t, 16> buffer{};
    EXPECT_EQ(client.Receive(buffer, 1000, nullptr).size, sizeof datagram);
}

}  // namespace
}  // namespace qt40
