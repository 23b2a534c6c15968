// The simulator's HART-IP server as a raw client sees it: what it answers to
// each kind of message, over TCP and UDP, and when: its timers run on a manual
// clock that the tests move.
#include "sim/SimHartIpServer.h"

#include <gtest/gtest.h>

#include "hart/FrameCodec.h"

namespace qt40::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using T = HartIpMessageType;
using I = HartIpMessageId;

class RawClient {
public:
    RawClient(const SimHartIpServer& server, HartIpProtocol protocol)
        : udp_(protocol == HartIpProtocol::Udp) {
        SocketFault fault;
        std::string text;
        const auto to = Socket::Resolve("127.0.0.1", server.Port(),
                                        udp_ ? SocketType::Datagram : SocketType::Stream, 1000,
                                        nullptr, fault, text);
        EXPECT_TRUE(socket_.Connect(to.at(0), udp_ ? SocketType::Datagram : SocketType::Stream,
                                    1000, nullptr))
            << socket_.LastError();
    }
    void Send(HartIpHeader h, const Bytes& body) {
        EXPECT_TRUE(socket_.Send(HartIpMessage(h, body), 1000, nullptr));
    }
    void SendRaw(const Bytes& bytes) { EXPECT_TRUE(socket_.Send(bytes, 1000, nullptr)); }
    // The next message, or nothing within `ms` of real time. What the server
    // sent before it settled (ManualClock::AwaitSleepers) is there at once.
    std::optional<HartIpReceived> Next(int ms = 1000) {
        for (;;) {
            if (auto m = reader_.Next()) return m;
            const auto got = socket_.Receive(buffer_, ms, nullptr);
            lastFault = got.fault;
            if (got.fault != SocketFault::None) return std::nullopt;
            const std::span<const std::uint8_t> bytes(buffer_.data(), got.size);
            if (udp_) return ParseHartIpDatagram(bytes);
            reader_.Feed(bytes);
        }
    }
    // Sends a session initiate with `body` and returns the answer's status.
    int Initiate(const Bytes& body, std::uint8_t version = 1, std::uint16_t sequence = 1) {
        Send({version, T::Request, I::SessionInitiate, 0, sequence, 0}, body);
        const auto answer = Next();
        if (!answer) return -1;
        EXPECT_EQ(answer->header.type, T::Response);
        EXPECT_EQ(answer->header.sequence, sequence);
        lastBody = answer->body;
        return answer->header.status;
    }
    SocketFault lastFault = SocketFault::None;
    Bytes lastBody;

private:
    bool udp_;
    Socket socket_;
    HartIpStreamReader reader_;
    Bytes buffer_ = Bytes(2048);
};

Bytes Body(std::uint8_t host, std::uint32_t timer) {
    const auto b = EncodeHartIpSessionBody({host, timer});
    return {b.begin(), b.end()};
}

Bytes Command0Frame(int address) {
    HartLink link;
    link.preambleCount = 0;
    link.pollingAddress = address;
    Bytes frame(16);
    frame.resize(BuildRequestFrame(link, frame));
    return frame;
}

class SimHartIpServerTest : public ::testing::TestWithParam<HartIpProtocol> {
protected:
    SimHartIpServer& Server(SimHartIpOptions options = {}) {
        options.port = 0;
        server_ = std::make_unique<SimHartIpServer>(DeviceResponder(device_), options, &clock_);
        EXPECT_TRUE(server_->Start()) << server_->LastError();
        return *server_;
    }
    // The clock moved on by `ms`, and the server has done what that made due.
    void Advance(int ms) {
        ASSERT_TRUE(clock_.AwaitSleepers(1));
        clock_.Advance(ms);
        ASSERT_TRUE(clock_.AwaitSleepers(1));
    }
    ManualClock clock_;
    SimDevice device_;
    std::unique_ptr<SimHartIpServer> server_;
};

INSTANTIATE_TEST_SUITE_P(Both, SimHartIpServerTest,
                         ::testing::Values(HartIpProtocol::Tcp, HartIpProtocol::Udp),
                         [](const auto& info) {
                             return info.param == HartIpProtocol::Tcp ? "Tcp" : "Udp";
                         });

TEST_P(SimHartIpServerTest, JudgesEachSessionInitiate) {
    SimHartIpOptions options;
    options.maxInactivityTimerMs = 30000;
    SimHartIpServer& server = Server(options);
    struct Row {
        const char* name;
        Bytes body;
        std::uint8_t version;
        int status;
    };
    const Row rows[] = {
        {"version 2", Body(1, 1000), 2, kHartIpVersionNotSupported},
        {"four bytes", Bytes{1, 0, 0, 0}, 1, kHartIpTooFewDataBytes},
        {"host type 7", Body(7, 1000), 1, kHartIpInvalidHostType},
        {"a primary host", Body(1, 1000), 1, kHartIpSessionOk},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RawClient client(server, GetParam());
        EXPECT_EQ(client.Initiate(row.body, row.version), row.status);
        if (row.status == kHartIpSessionOk) {
            EXPECT_EQ(client.lastBody, row.body);  // echoed
            EXPECT_EQ(client.Initiate(row.body, 1, 2), kHartIpSessionExists);
        }
    }
    // A timer above the server's own is lowered, with status 8.
    RawClient longTimer(server, GetParam());
    EXPECT_EQ(longTimer.Initiate(Body(1, 90000)), kHartIpTimerSetToNearest);
    EXPECT_EQ(longTimer.lastBody, Body(1, 30000));
    // A UDP session outlives its client's socket; a TCP one ends with its connection.
    EXPECT_EQ(server.SessionsOpen(), GetParam() == HartIpProtocol::Udp ? 2u : 1u);
}

TEST_P(SimHartIpServerTest, AnswersWithinASessionOnly) {
    SimHartIpServer& server = Server();
    RawClient client(server, GetParam());
    // Before the session: "session closed", with the request's number.
    client.Send({1, T::Request, I::TokenPassingPdu, 0, 5, 0}, Command0Frame(0));
    auto answer = client.Next();
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->header.type, T::Error);
    EXPECT_EQ(answer->header.sequence, 5);
    EXPECT_EQ(answer->body, Bytes{kHartIpErrorSessionClosed});

    ASSERT_EQ(client.Initiate(Body(1, 60000), 1, 6), kHartIpSessionOk);
    client.Send({1, T::Request, I::KeepAlive, 0, 7, 0}, {});
    answer = client.Next();
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->header.id, I::KeepAlive);
    EXPECT_EQ(answer->header.sequence, 7);
    // A device that is not on the loop stays silent; the next request is served
    // (and its answer is the first thing that comes).
    client.Send({1, T::Request, I::TokenPassingPdu, 0, 8, 0}, Command0Frame(5));
    client.Send({1, T::Request, I::TokenPassingPdu, 0, 9, 0}, Command0Frame(0));
    answer = client.Next();
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->header.sequence, 9);
    EXPECT_EQ(answer->body.at(0), 0x06);  // the answer frame from its delimiter, no preambles
    // A message ID the server does not serve: a NAK.
    client.Send({1, T::Request, static_cast<I>(9), 0, 10, 0}, {});
    answer = client.Next();
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->header.type, T::Nak);
    // The session close is answered and ends the session.
    client.Send({1, T::Request, I::SessionClose, 0, 11, 0}, {});
    answer = client.Next();
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->header.id, I::SessionClose);
    EXPECT_EQ(server.Transactions(), 2u);
    ASSERT_TRUE(clock_.AwaitSleepers(1));
    EXPECT_EQ(server.SessionsOpen(), 0u);
}

TEST_P(SimHartIpServerTest, EndsASessionWhenItsTimerRunsOutWithoutAMessage) {
    struct Row {
        const char* name;
        std::vector<int> messagesAtMs;  // keep-alives, after the initiate at 0
        int expiresAfterMs;             // the last moment the session is still held
    };
    const Row rows[] = {
        {"no message", {}, 1000},
        {"a keep-alive at 600", {600}, 1600},
        {"keep-alives at 400 and 1300", {400, 1300}, 2300},
    };
    SimHartIpServer& server = Server();
    std::uint64_t expired = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RawClient client(server, GetParam());
        ASSERT_EQ(client.Initiate(Body(1, 1000)), kHartIpSessionOk);
        int at = 0;
        std::uint16_t sequence = 2;
        for (int ms : row.messagesAtMs) {
            Advance(ms - at);
            at = ms;
            client.Send({1, T::Request, I::KeepAlive, 0, sequence, 0}, {});
            const auto answer = client.Next();
            ASSERT_TRUE(answer.has_value());
            EXPECT_EQ(answer->header.sequence, sequence++);
        }
        // Held to the millisecond of its timer...
        Advance(row.expiresAfterMs - at);
        EXPECT_EQ(server.SessionsExpired(), expired);
        EXPECT_EQ(server.SessionsOpen(), 1u);
        // ...then ended, with an error message saying so.
        Advance(1);
        EXPECT_EQ(server.SessionsExpired(), ++expired);
        EXPECT_EQ(server.SessionsOpen(), 0u);
        const auto closed = client.Next(0);
        ASSERT_TRUE(closed.has_value());
        EXPECT_EQ(closed->header.type, T::Error);
        EXPECT_EQ(closed->body, Bytes{kHartIpErrorSessionClosed});
    }
}

TEST_P(SimHartIpServerTest, HoldsEachAnswerForItsLatencyAndPublishesAtItsRate) {
    SimHartIpOptions options;
    options.latencyMs = 300;
    options.publishPerSecond = 50;  // one every 20 ms
    SimHartIpServer& server = Server(options);
    RawClient client(server, GetParam());
    ASSERT_EQ(client.Initiate(Body(1, 60000)), kHartIpSessionOk);
    const std::uint64_t published = server.Published();
    client.Send({1, T::Request, I::TokenPassingPdu, 0, 2, 0}, Command0Frame(0));
    // 299 ms on: publish messages only, one every 20 ms.
    Advance(299);
    const std::uint64_t publishedBefore = server.Published() - published;
    EXPECT_EQ(publishedBefore, 14u);
    for (std::uint64_t i = 0; i < publishedBefore; ++i) {
        const auto message = client.Next(0);
        ASSERT_TRUE(message.has_value());
        EXPECT_EQ(message->header.type, T::Publish);
    }
    EXPECT_FALSE(client.Next(0).has_value());
    // At 300 ms the answer.
    Advance(1);
    std::optional<HartIpReceived> answer;
    while ((answer = client.Next(0)) && answer->header.type == T::Publish) {
    }
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->header.type, T::Response);
    EXPECT_EQ(answer->header.sequence, 2);
    // A second in all: fifty publish messages.
    Advance(700);
    EXPECT_EQ(server.Published() - published, 50u);
}

TEST(SimHartIpServerStreamTest, HangsUpOnAStreamThatIsNotHartIp) {
    SimDevice device;
    SimHartIpOptions options;
    options.port = 0;
    ManualClock clock;
    SimHartIpServer server(DeviceResponder(device), options, &clock);
    ASSERT_TRUE(server.Start());
    RawClient client(server, HartIpProtocol::Tcp);
    ASSERT_EQ(client.Initiate(Body(1, 60000)), kHartIpSessionOk);
    client.SendRaw({1, 0, 3, 0, 0, 2, 0, 3});  // a byte count of 3
    EXPECT_FALSE(client.Next().has_value());
    EXPECT_TRUE(client.lastFault == SocketFault::Closed || client.lastFault == SocketFault::Reset);
    // The server counts the session closed just after it hangs up.
    ASSERT_TRUE(clock.AwaitSleepers(1));
    EXPECT_EQ(server.SessionsOpen(), 0u);
}

}  // namespace
}  // namespace qt40::sim
