// The client against gateways as strict as the field: silent to a host
// without a session, keep-alives unanswered, publish messages nobody asked
// for, TCP messages cut and joined, a header status, secured HART-IP only.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "hart/FrameCodec.h"
#include "sim/SimHartIpServer.h"
#include "tests/transport/OnManualClock.h"
#include "tests/transport/UploadSequence.h"
#include "transport/HartIpClient.h"

namespace qt40 {
namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

// The gateway on `clock` when one is given (then the clients share it).
struct Strict {
    explicit Strict(std::vector<const char*> switches, ManualClock* clock = nullptr)
        : clock(clock) {
        sim::SimHartIpOptions options;
        options.port = 0;
        for (const char* s : switches) EXPECT_FALSE(sim::ApplyGatewaySwitch(s, options)) << s;
        server =
            std::make_unique<sim::SimHartIpServer>(sim::DeviceResponder(device), options, clock);
        EXPECT_TRUE(server->Start()) << server->LastError();
    }
    std::string Url(HartIpProtocol p) const { return server->Endpoint(p).Url(); }
    // Runs `work` while the clock moves in `stepMs` steps, each once the
    // server, the client's keeper and the work wait on it.
    template <class F>
    auto OnClock(int stepMs, F work) {
        return testing::OnManualClock(*clock, 3, stepMs, std::move(work));
    }

    ManualClock* clock;
    sim::SimDevice device;
    std::unique_ptr<sim::SimHartIpServer> server;
};

HartIpClientOptions Options(int answerTimeoutMs = 1000) {
    HartIpClientOptions o;
    o.answerTimeoutMs = answerTimeoutMs;
    o.connectTimeoutMs = 2000;
    return o;
}

bool Ask(HartIpClient& client, DeviceState& session, std::uint8_t command, int timeoutMs,
         std::string* failure = nullptr) {
    return testing::RunStep(client, session, *FindCommand(command), timeoutMs, failure);
}

class StrictGatewayTest : public ::testing::TestWithParam<HartIpProtocol> {};

INSTANTIATE_TEST_SUITE_P(Both, StrictGatewayTest,
                         ::testing::Values(HartIpProtocol::Tcp, HartIpProtocol::Udp),
                         [](const auto& info) {
                             return info.param == HartIpProtocol::Tcp ? "Tcp" : "Udp";
                         });

TEST_P(StrictGatewayTest, AnUploadGoesThroughCutJoinedAndFloodedMessages) {
    for (const auto& switches : std::vector<std::vector<const char*>>{
             {"split-merge", "status:5"}, {"publish:2000"}, {"publish:2000", "split-merge"}}) {
        SCOPED_TRACE(switches.front());
        Strict gateway(switches);
        HartIpClient client(Options());
        ASSERT_EQ(client.Open(gateway.Url(GetParam())), kCommSuccess) << client.LastError();
        DeviceState session;
        const testing::UploadRun run = testing::RunUpload(client, session, 1000);
        EXPECT_EQ(run.failure, "");
        EXPECT_EQ(run.accepted, 19);
        if (GetParam() == HartIpProtocol::Tcp || gateway.server->Published() > 0) {
            EXPECT_GT(client.Dropped(), 0u);  // the publish messages, each dropped
        }
    }
}

TEST_P(StrictGatewayTest, AFloodNeverHoldsAWaitPastItsDeadlineNorAStop) {
    // Given a gateway that floods its session and a device that never answers
    ManualClock clock;
    Strict gateway({"publish:5000"}, &clock);
    HartIpClient client(Options(3000), nullptr, &clock);
    ASSERT_EQ(client.Open(gateway.Url(GetParam())), kCommSuccess) << client.LastError();
    DeviceState session;
    ASSERT_TRUE(Ask(client, session, 0, 1000));
    gateway.server->Locked([&] { gateway.device.Faults().dropAnswer.remaining = -1; });
    // When a request waits 300 ms, it ends then, not when the flood stops
    const auto flooded = gateway.OnClock(50, [&] { return Ask(client, session, 0, 300); });
    EXPECT_FALSE(flooded.result);
    EXPECT_LT(flooded.tookMs, 1500);
    EXPECT_EQ(flooded.tookMs, 300);
    ASSERT_TRUE(clock.AwaitSleepers(2));  // the server has published what fell due
    EXPECT_GE(gateway.server->Published(), 300u * 5);
    EXPECT_EQ(client.LastFailure().kind, HartIpFailureKind::NoAnswer);
    // and a stop ends a long wait at once (the clock stands still meanwhile).
    auto waiting = std::async(std::launch::async, [&] { return Ask(client, session, 0, 30000); });
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(clock.AwaitSleepers(3));
        clock.Advance(50);
    }
    ASSERT_TRUE(clock.AwaitSleepers(3));
    client.Abort(true);
    ASSERT_EQ(waiting.wait_for(2s), std::future_status::ready);  // against a hang only
    EXPECT_FALSE(waiting.get());
    client.Abort(false);
    // The session close waits its own bound, however many messages come.
    const auto closed = testing::OnManualClock(clock, 2, 50, [&] {
        client.Close();
        return true;
    });
    EXPECT_LT(closed.tookMs, 1500);
    EXPECT_LE(closed.tookMs, Options().closeTimeoutMs);
}

TEST_P(StrictGatewayTest, UnansweredKeepAlivesNeverHoldUpAnExchange) {
    // Given a gateway with a 200 ms timer that never answers a keep-alive
    ManualClock clock;
    Strict gateway({"no-keepalive"}, &clock);
    HartIpClientOptions o = Options(1500);
    o.inactivityTimerMs = 200;
    HartIpClient client(o, nullptr, &clock);
    ASSERT_EQ(client.Open(gateway.Url(GetParam())), kCommSuccess) << client.LastError();
    DeviceState session;
    ASSERT_TRUE(Ask(client, session, 0, 1000));
    // When requests come now and then between the keep-alives
    std::int64_t took = 0;
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(clock.AwaitSleepers(2));
        clock.Advance(150);
        std::string failure;
        const auto asked =
            gateway.OnClock(100, [&] { return Ask(client, session, 13, 1000, &failure); });
        EXPECT_TRUE(asked.result) << failure;
        took += asked.tookMs;
    }
    // Then none waited for a keep-alive's answer (1.5 s each, were it held)
    EXPECT_LT(took, 1500);
    EXPECT_EQ(took, 0);
    EXPECT_GT(client.KeepAlivesSent(), 0u);
    EXPECT_EQ(gateway.server->SessionsOpened(), 1u);
}

TEST_P(StrictGatewayTest, ASessionTheGatewayForgotIsOpenedAgain) {
    // Given a gateway silent to a host without a session
    ManualClock clock;
    Strict gateway({"silent-without-session"}, &clock);
    HartIpClient client(Options(400), nullptr, &clock);
    ASSERT_EQ(client.Open(gateway.Url(GetParam())), kCommSuccess) << client.LastError();
    DeviceState session;
    ASSERT_TRUE(Ask(client, session, 0, 400));
    // When it restarts and forgets the session
    gateway.server->DropConnections();
    ASSERT_TRUE(clock.AwaitSleepers(2));
    // Then at most one try is lost, and the next opens a session first
    if (!gateway.OnClock(100, [&] { return Ask(client, session, 0, 400); }).result) {
        EXPECT_EQ(GetParam(), HartIpProtocol::Udp);  // TCP sees the connection end
    }
    std::string failure;
    EXPECT_TRUE(gateway.OnClock(100, [&] { return Ask(client, session, 0, 400, &failure); }).result)
        << failure;
    EXPECT_EQ(gateway.server->SessionsOpened(), 2u);
    // and a session still held goes on as it is, after a request that went unanswered.
    gateway.server->Locked([&] { gateway.device.Faults().dropAnswer.remaining = 1; });
    EXPECT_FALSE(gateway.OnClock(100, [&] { return Ask(client, session, 13, 200); }).result);
    EXPECT_TRUE(
        gateway.OnClock(100, [&] { return Ask(client, session, 13, 1000, &failure); }).result)
        << failure;
    EXPECT_EQ(gateway.server->SessionsOpened(), 2u);
    // A retry asked for starts a fresh session, the old one closed with the gateway.
    client.Renew();
    EXPECT_TRUE(
        gateway.OnClock(100, [&] { return Ask(client, session, 13, 1000, &failure); }).result)
        << failure;
    EXPECT_EQ(gateway.server->SessionsOpened(), 3u);
    ASSERT_TRUE(clock.AwaitSleepers(2));
    EXPECT_EQ(gateway.server->SessionsOpen(), 1u);
}

TEST_P(StrictGatewayTest, AGatewayOfSecuredHartIpOnlyIsNamedAsSuch) {
    struct Row {
        const char* gatewaySwitch;
        HartIpFailureKind kind;
        const char* key;
    };
    const Row rows[] = {
        {"v2-only", HartIpFailureKind::SecuredOnly, "Err_HartIp_Secured_Only"},
        {"v2-only:silent", HartIpFailureKind::SilentToV1, "Err_HartIp_Silent_To_Version_1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.gatewaySwitch);
        Strict gateway({row.gatewaySwitch});
        HartIpClient client(Options(300));
        EXPECT_EQ(client.Open(gateway.Url(GetParam())), kCommPortNotOpened);
        EXPECT_EQ(client.LastFailure().kind, row.kind);
        ASSERT_TRUE(client.FailureMessage());
        EXPECT_EQ(client.FailureMessage()->key, row.key);
        EXPECT_NE(client.LastError().find("version 2"), std::string::npos) << client.LastError();
    }
}

TEST(StrictGateway, AnAnswerInAnotherVersionIsRefused) {
    // A server that answers the session initiate in version 2.
    Socket server;
    SocketAddress local;
    SocketFault fault = SocketFault::None;
    std::string text;
    const auto addresses =
        Socket::Resolve("127.0.0.1", 0, SocketType::Datagram, 1000, nullptr, fault, text);
    ASSERT_FALSE(addresses.empty()) << text;
    ASSERT_TRUE(server.Listen(addresses.front(), SocketType::Datagram)) << server.LastError();
    auto answer = std::async(std::launch::async, [&] {
        std::vector<std::uint8_t> buffer(512);
        SocketAddress from;
        const Socket::Received got = server.Receive(buffer, 3000, nullptr, &from);
        if (got.fault != SocketFault::None) return;
        HartIpHeader h = *DecodeHartIpHeader(buffer);
        h.version = 2;
        h.type = HartIpMessageType::Response;
        server.SendTo(HartIpMessage(h, EncodeHartIpSessionBody({})), from);
    });
    HartIpClient client(Options(1000));
    EXPECT_EQ(client.Open("hartip+udp://127.0.0.1:" + std::to_string(server.LocalAddress().Port())),
              kCommPortNotOpened);
    answer.get();
    EXPECT_EQ(client.LastFailure().kind, HartIpFailureKind::OtherVersion);
    EXPECT_EQ(client.LastFailure().code, 2);
    ASSERT_TRUE(client.FailureMessage());
    EXPECT_EQ(client.FailureMessage()->key, "Err_HartIp_Other_Version");
}

TEST(StrictGateway, GatewaySwitchesAreParsedOrRefusedInWords) {
    sim::SimHartIpOptions o;
    EXPECT_FALSE(sim::ApplyGatewaySwitch("publish:50", o));
    EXPECT_EQ(o.publishPerSecond, 50);
    EXPECT_FALSE(sim::ApplyGatewaySwitch("status:3", o));
    EXPECT_EQ(o.answerStatus, 3);
    EXPECT_FALSE(sim::ApplyGatewaySwitch("v2-only:silent", o));
    EXPECT_EQ(o.version2Only, sim::SimHartIpOptions::Version2Only::Silent);
    for (const char* bad : {"publish", "publish:0", "publish:x", "status:256", "v2-only:maybe",
                            "melt", "no-keepalive:1"}) {
        SCOPED_TRACE(bad);
        const auto error = sim::ApplyGatewaySwitch(bad, o);
        ASSERT_TRUE(error);
        EXPECT_NE(error->find(bad), std::string::npos) << *error;
    }
}

TEST(StrictGateway, AStopTakesNoMoreMessagesHoweverManyWait) {
    // Given a gateway that answers a request with a burst of 20000 publish
    // messages, all of them waiting on the socket
    SocketFault fault = SocketFault::None;
    std::string text;
    const auto local =
        Socket::Resolve("127.0.0.1", 0, SocketType::Stream, 1000, nullptr, fault, text);
    Socket listener;
    ASSERT_TRUE(listener.Listen(local.at(0), SocketType::Stream)) << listener.LastError();
    std::atomic<bool> flooded{false};
    std::thread server([&] {
        Socket client;
        for (int i = 0; i < 300 && !client.IsOpen(); ++i) {
            client = listener.Accept();
            if (!client.IsOpen()) std::this_thread::sleep_for(10ms);
        }
        HartIpStreamReader reader;
        std::vector<std::uint8_t> buffer(2048);
        while (client.IsOpen()) {
            const auto got = client.Receive(buffer, 3000, nullptr);
            if (got.fault != SocketFault::None) return;
            reader.Feed(std::span<const std::uint8_t>(buffer.data(), got.size));
            while (auto m = reader.Next()) {
                HartIpHeader h = m->header;
                h.type = HartIpMessageType::Response;
                if (m->header.id != HartIpMessageId::TokenPassingPdu) {
                    client.Send(HartIpMessage(h, m->body), 1000, nullptr);
                    continue;
                }
                HartIpHeader publish;
                publish.type = HartIpMessageType::Publish;
                const std::vector<std::uint8_t> one =
                    HartIpMessage(publish, std::vector<std::uint8_t>{0x81, 0x00});
                std::vector<std::uint8_t> burst;
                for (int k = 0; k < 20000; ++k) burst.insert(burst.end(), one.begin(), one.end());
                client.Send(burst, 3000, nullptr);
                flooded = true;
            }
        }
    });
    HartIpClientOptions o = Options(5000);
    o.keepAlive = false;
    HartIpClient client(o);
    ASSERT_EQ(client.Open("hartip://127.0.0.1:" + std::to_string(listener.LocalAddress().Port())),
              kCommSuccess)
        << client.LastError();
    DeviceState session;
    session.link.preambleCount = 0;
    session.link.command = 0;
    std::vector<std::uint8_t> frame(kMaxFrameSize);
    frame.resize(BuildRequestFrame(session.link, frame));
    ASSERT_TRUE(client.Send(frame).sent);
    for (int i = 0; i < 300 && !flooded; ++i) std::this_thread::sleep_for(10ms);
    std::this_thread::sleep_for(100ms);
    // When the worker is told to stop before it takes the answer
    client.Abort(true);
    std::vector<std::uint8_t> answer(kMaxFrameSize);
    const ReceiveResult got = client.Receive(answer, 5000);
    // Then it stops at once, without taking the messages that wait.
    EXPECT_EQ(got.end, ReceiveEnd::Aborted);
    EXPECT_LT(client.Dropped(), 100u);
    client.Abort(false);
    client.Close();
    server.join();
}

}  // namespace
}  // namespace qt40
