// The client against the simulator's HART-IP server over real sockets on the
// loopback, TCP and UDP. Client and server share a manual clock: time-outs,
// keep-alives, the server's latency and its inactivity timer fall due when the
// test moves the clock, never by waiting.
#include "transport/HartIpClient.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "sim/SimHartIpServer.h"
#include "tests/transport/OnManualClock.h"
#include "tests/transport/UploadSequence.h"

namespace qt40 {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using SteadyClock = std::chrono::steady_clock;

struct SimBehindServer {
    explicit SimBehindServer(sim::SimHartIpOptions options = {})
        : server(Responder(), Local(options), &clock) {
        EXPECT_TRUE(server.Start()) << server.LastError();
    }
    static sim::SimHartIpOptions Local(sim::SimHartIpOptions o) {
        o.port = 0;
        return o;
    }
    sim::GatewayResponder Responder() { return sim::DeviceResponder(device); }
    std::string Url(HartIpProtocol p) const { return server.Endpoint(p).Url(); }
    // Moves the clock in steps, each once the server and `keepers` clients'
    // keepers have seen the time before it.
    void Idle(int ms, int stepMs, int keepers = 1) {
        for (int passed = 0; passed < ms; passed += stepMs) {
            ASSERT_TRUE(clock.AwaitSleepers(1 + keepers));
            clock.Advance(std::min(stepMs, ms - passed));
        }
        ASSERT_TRUE(clock.AwaitSleepers(1 + keepers));
    }

    ManualClock clock;
    sim::SimDevice device;
    sim::SimHartIpServer server;
};

HartIpClientOptions Fast() {
    HartIpClientOptions o;
    o.answerTimeoutMs = 1000;
    o.connectTimeoutMs = 2000;
    return o;
}

double MsSince(SteadyClock::time_point start) {
    return std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
}

// One exchange of command `command` (0 at the polling address, else long).
CommResult Ask(HartIpClient& client, DeviceState& session, std::uint8_t command, int timeoutMs,
               std::string* failure = nullptr) {
    return testing::RunStep(client, session, *FindCommand(command), timeoutMs, failure)
               ? kCommSuccess
               : kCommExchangeFailed;
}

// The same on the sim's clock, moved on in `stepMs` steps while the exchange
// waits (with the server and the client's keeper).
testing::Clocked<CommResult> AskOnClock(SimBehindServer& sim, HartIpClient& client,
                                        DeviceState& session, std::uint8_t command, int timeoutMs,
                                        int stepMs) {
    return testing::OnManualClock(sim.clock, 3, stepMs,
                                  [&] { return Ask(client, session, command, timeoutMs); });
}

class HartIpClientTest : public ::testing::TestWithParam<HartIpProtocol> {};

INSTANTIATE_TEST_SUITE_P(Both, HartIpClientTest,
                         ::testing::Values(HartIpProtocol::Tcp, HartIpProtocol::Udp),
                         [](const auto& info) {
                             return info.param == HartIpProtocol::Tcp ? "Tcp" : "Udp";
                         });

TEST_P(HartIpClientTest, AnswersTheNineteenRequestsOfAnUpload) {
    SimBehindServer sim;
    sim.server.Locked([&] { sim.device.RecordRequests(true); });
    HartIpClient client(Fast());
    ASSERT_EQ(client.Open(sim.Url(GetParam())), kCommSuccess) << client.LastError();
    EXPECT_EQ(client.Timing().requestPreambles, 0);
    EXPECT_FALSE(client.Timing().quietLine);

    DeviceState session;
    const testing::UploadRun run = testing::RunUpload(client, session, 1000);
    EXPECT_EQ(run.failure, "");
    EXPECT_EQ(run.accepted, 19);
    // The values are the device's, and every request reached it, in order.
    const sim::SimState state = sim.server.Locked([&] { return sim.device.State(); });
    EXPECT_EQ(session.record.tag, state.tag);
    EXPECT_EQ(session.record.descriptor, state.descriptor);
    std::vector<std::uint8_t> heard;
    sim.server.Locked([&] {
        for (const auto& r : sim.device.Heard()) heard.push_back(r.command);
    });
    EXPECT_EQ(heard, run.commands);
    EXPECT_EQ(sim.server.Transactions(), 19u);
    EXPECT_EQ(client.Dropped(), 0u);

    client.Close();
    // The session was closed with the server, not left to its timer.
    ASSERT_TRUE(sim.clock.AwaitSleepers(1));
    EXPECT_EQ(sim.server.SessionsOpen(), 0u);
    EXPECT_EQ(sim.server.SessionsExpired(), 0u);
}

TEST_P(HartIpClientTest, DropsALateAnswerAndTakesTheRightOne) {
    // Given a gateway that takes 300 ms to reach its loop
    sim::SimHartIpOptions options;
    options.latencyMs = 300;
    SimBehindServer sim(options);
    HartIpClient client(Fast(), nullptr, &sim.clock);
    ASSERT_EQ(client.Open(sim.Url(GetParam())), kCommSuccess) << client.LastError();
    DeviceState session;
    auto asked = AskOnClock(sim, client, session, 0, 1000, 100);
    ASSERT_EQ(asked.result, kCommSuccess);
    EXPECT_EQ(asked.tookMs, 300);
    // When the link gives up on a request after 100 ms and asks the same again
    asked = AskOnClock(sim, client, session, 13, 100, 100);
    EXPECT_EQ(asked.result, kCommExchangeFailed);
    EXPECT_EQ(asked.tookMs, 100);
    EXPECT_EQ(client.LastFailure().kind, HartIpFailureKind::NoAnswer);
    asked = AskOnClock(sim, client, session, 13, 1000, 100);
    EXPECT_EQ(asked.result, kCommSuccess) << client.LastError();
    EXPECT_EQ(asked.tookMs, 300);
    // Then the first answer, arriving while the second waits, is dropped by its
    // sequence number (same command, same bytes: nothing else tells them apart)
    EXPECT_EQ(client.Dropped(), 1u);
    // and a late answer can never fill another command's values either.
    EXPECT_EQ(AskOnClock(sim, client, session, 12, 100, 100).result, kCommExchangeFailed);
    EXPECT_EQ(AskOnClock(sim, client, session, 13, 1000, 100).result, kCommSuccess);
    EXPECT_EQ(client.Dropped(), 2u);
    EXPECT_EQ(session.record.tag, sim.server.Locked([&] { return sim.device.State().tag; }));
}

TEST_P(HartIpClientTest, NamesEachRefusedSession) {
    struct Row {
        std::uint8_t status;
        const char* key;
    };
    const Row rows[] = {
        {kHartIpTooFewDataBytes, "Err_HartIp_Session_Too_Few_Bytes"},
        {kHartIpNoSessionAvailable, "Err_HartIp_Session_Busy"},
        {kHartIpSessionExists, "Err_HartIp_Session_Exists"},
        {kHartIpVersionNotSupported, "Err_HartIp_Session_Version"},
        {kHartIpInvalidHostType, "Err_HartIp_Session_Host_Type"},
        {99, "Err_HartIp_Session_Refused"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        sim::SimHartIpOptions options;
        options.refuseSessions = row.status;
        SimBehindServer sim(options);
        HartIpClient client(Fast());
        EXPECT_EQ(client.Open(sim.Url(GetParam())), kCommPortNotOpened);
        EXPECT_FALSE(client.IsOpen());
        const HartIpFailure failure = client.LastFailure();
        EXPECT_EQ(failure.kind, HartIpFailureKind::SessionRefused);
        EXPECT_EQ(failure.code, row.status);
        const auto message = client.FailureMessage();
        ASSERT_TRUE(message.has_value());
        EXPECT_EQ(message->key, row.key);
        EXPECT_EQ(std::get<std::string>(message->args.at(0)), sim.Url(GetParam()));
        EXPECT_NE(client.LastError().find("status " + std::to_string(row.status)),
                  std::string::npos);
    }
}

TEST_P(HartIpClientTest, RefusesASessionBeyondTheServersLast) {
    sim::SimHartIpOptions options;
    options.maxSessions = 1;
    SimBehindServer sim(options);
    HartIpClient first(Fast());
    HartIpClient second(Fast());
    ASSERT_EQ(first.Open(sim.Url(GetParam())), kCommSuccess);
    EXPECT_EQ(second.Open(sim.Url(GetParam())), kCommPortNotOpened);
    EXPECT_EQ(second.LastFailure().code, kHartIpNoSessionAvailable);
    first.Close();
    EXPECT_EQ(second.Open(sim.Url(GetParam())), kCommSuccess) << second.LastError();
}

TEST_P(HartIpClientTest, KeepsAnIdleSessionAlive) {
    // Given a server that ends a session after 1 s without a message
    SimBehindServer sim;
    HartIpClientOptions options = Fast();
    options.inactivityTimerMs = 1000;
    HartIpClient client(options, nullptr, &sim.clock);
    ASSERT_EQ(client.Open(sim.Url(GetParam())), kCommSuccess);
    EXPECT_EQ(client.SessionTimerMs(), 1000u);
    // When nobody sends for 2.5 s (a worker paused by a question box)
    sim.Idle(2500, 100);
    // Then the keep-alives held the session: the next request goes in it.
    DeviceState session;
    EXPECT_EQ(Ask(client, session, 0, 1000), kCommSuccess) << client.LastError();
    EXPECT_GE(client.KeepAlivesSent(), 2u);
    EXPECT_EQ(client.KeepAlivesSent(), 5u);  // every half timer
    EXPECT_EQ(sim.server.KeepAlives(), 5u);
    EXPECT_EQ(sim.server.SessionsExpired(), 0u);
    EXPECT_EQ(sim.server.SessionsOpened(), 1u);
    EXPECT_EQ(client.SessionsOpened(), 1u);
}

TEST_P(HartIpClientTest, OpensANewSessionAfterTheServerEndedAnIdleOne) {
    SimBehindServer sim;
    HartIpClientOptions options = Fast();
    options.inactivityTimerMs = 400;
    options.keepAlive = false;
    HartIpClient client(options, nullptr, &sim.clock);
    ASSERT_EQ(client.Open(sim.Url(GetParam())), kCommSuccess);
    // Without traffic past the timer the server ends the session
    sim.Idle(400, 100);
    EXPECT_EQ(sim.server.SessionsExpired(), 0u);
    sim.Idle(1, 1);
    EXPECT_EQ(sim.server.SessionsExpired(), 1u);
    // and the next request opens a new one and is answered in it.
    DeviceState session;
    EXPECT_EQ(Ask(client, session, 0, 1000), kCommSuccess) << client.LastError();
    EXPECT_EQ(client.SessionsOpened(), 2u);
    EXPECT_FALSE(client.Gone());
}

TEST_P(HartIpClientTest, OpensANewSessionWhenTheServerForgotItUnannounced) {
    // A gateway restarted between two requests: TCP finds the connection gone
    // while idle, UDP hears "session closed" in answer to the request.
    SimBehindServer sim;
    HartIpClient client(Fast(), nullptr, &sim.clock);
    ASSERT_EQ(client.Open(sim.Url(GetParam())), kCommSuccess);
    DeviceState session;
    ASSERT_EQ(Ask(client, session, 0, 1000), kCommSuccess);
    sim.server.DropConnections();
    ASSERT_TRUE(sim.clock.AwaitSleepers(2));  // the server has dropped them
    EXPECT_EQ(Ask(client, session, 13, 1000), kCommSuccess) << client.LastError();
    EXPECT_EQ(client.SessionsOpened(), 2u);
    EXPECT_EQ(sim.server.SessionsOpen(), 1u);
}

TEST_P(HartIpClientTest, LowersItsKeepAliveToTheGrantedTimer) {
    sim::SimHartIpOptions serverOptions;
    serverOptions.maxInactivityTimerMs = 800;
    SimBehindServer sim(serverOptions);
    HartIpClient client(Fast(), nullptr, &sim.clock);  // asks for 60 s
    ASSERT_EQ(client.Open(sim.Url(GetParam())), kCommSuccess);
    EXPECT_EQ(client.SessionTimerMs(), 800u);
    sim.Idle(2000, 100);
    EXPECT_EQ(sim.server.SessionsExpired(), 0u);
    EXPECT_GE(client.KeepAlivesSent(), 2u);
    EXPECT_EQ(client.KeepAlivesSent(), 5u);  // every 400 ms
}

TEST_P(HartIpClientTest, FailsClearlyWhenTheServerGoesUnderAnExchange) {
    // Given a request the gateway holds for 2 s
    sim::SimHartIpOptions options;
    options.latencyMs = 2000;
    SimBehindServer sim(options);
    HartIpClient client(Fast(), nullptr, &sim.clock);
    ASSERT_EQ(client.Open(sim.Url(GetParam())), kCommSuccess);
    DeviceState session;
    // When the gateway stops 200 ms into the wait
    const std::int64_t start = sim.clock.NowMs();
    auto asked = std::async(std::launch::async, [&] { return Ask(client, session, 0, 1000); });
    ASSERT_TRUE(sim.clock.AwaitSleepers(3));
    sim.clock.Advance(200);
    ASSERT_TRUE(sim.clock.AwaitSleepers(3));
    sim.server.Stop();
    // Then the exchange fails within the time-out, saying why: TCP sees the
    // connection end at once; UDP hears nothing more until the time-out.
    if (GetParam() == HartIpProtocol::Udp) {
        sim.clock.Advance(799);
        ASSERT_TRUE(sim.clock.AwaitSleepers(2));  // the keeper and the exchange
        EXPECT_NE(asked.wait_for(0ms), std::future_status::ready);
        sim.clock.Advance(1);
    }
    // (A real bound, only against a hang: TCP needs the clock not to move.)
    ASSERT_EQ(asked.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(asked.get(), kCommExchangeFailed);
    const std::int64_t ms = sim.clock.NowMs() - start;
    EXPECT_LT(ms, 1000 + 1000);
    const HartIpFailure failure = client.LastFailure();
    if (GetParam() == HartIpProtocol::Tcp) {
        EXPECT_EQ(failure.kind, HartIpFailureKind::ConnectionLost);
        EXPECT_TRUE(client.Gone());
        EXPECT_LT(ms, 900);
        EXPECT_EQ(ms, 200);
        EXPECT_EQ(client.FailureMessage()->key, "Err_HartIp_Lost");
    } else {
        EXPECT_EQ(ms, 1000);
        EXPECT_EQ(failure.kind, HartIpFailureKind::NoAnswer);
        EXPECT_EQ(client.FailureMessage()->key, "Err_HartIp_No_Answer");
    }
    // And with the gateway gone for good, the next request fails within the
    // time-out (UDP: the session initiate goes unanswered), TCP at once.
    const auto again =
        testing::OnManualClock(sim.clock, 2, 50, [&] { return Ask(client, session, 0, 1000); });
    EXPECT_EQ(again.result, kCommExchangeFailed);
    EXPECT_LT(again.tookMs, 1000 + 1000);
    if (GetParam() == HartIpProtocol::Tcp) {
        EXPECT_EQ(again.tookMs, 0);
    }
}

TEST_P(HartIpClientTest, GivesUpAWaitWhenAborted) {
    sim::SimHartIpOptions options;
    options.latencyMs = 3000;
    SimBehindServer sim(options);
    HartIpClient client(Fast(), nullptr, &sim.clock);
    ASSERT_EQ(client.Open(sim.Url(GetParam())), kCommSuccess);
    DeviceState session;
    const std::int64_t start = sim.clock.NowMs();
    auto asked = std::async(std::launch::async, [&] { return Ask(client, session, 0, 3000); });
    ASSERT_TRUE(sim.clock.AwaitSleepers(3));
    sim.clock.Advance(100);
    ASSERT_TRUE(sim.clock.AwaitSleepers(3));
    client.Abort(true);
    // The wait ends without the clock moving (a real bound, only against a hang).
    ASSERT_EQ(asked.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(asked.get(), kCommExchangeFailed);
    EXPECT_LT(sim.clock.NowMs() - start, 1500);
    EXPECT_EQ(sim.clock.NowMs() - start, 100);
    EXPECT_EQ(client.LastFailure().kind, HartIpFailureKind::Aborted);
    EXPECT_FALSE(client.FailureMessage().has_value());
    client.Abort(false);
    client.Close();
}

TEST_P(HartIpClientTest, ServesSeveralClientsAtOnce) {
    SimBehindServer sim;
    std::vector<std::future<int>> runs;
    for (int i = 0; i < 3; ++i) {
        runs.push_back(std::async(std::launch::async, [&, i] {
            HartIpClient client(Fast());
            const auto protocol = i == 1 ? HartIpProtocol::Udp : GetParam();
            if (client.Open(sim.Url(protocol)) != kCommSuccess) return -1;
            DeviceState session;
            return testing::RunUpload(client, session, 2000).accepted;
        }));
    }
    for (auto& run : runs) EXPECT_EQ(run.get(), 19);
    EXPECT_EQ(sim.server.SessionsOpened(), 3u);
}

TEST(HartIpClientOpenTest, SaysWhyItCannotConnect) {
    // A port nobody listens on: a server started and stopped again.
    sim::SimDevice device;
    sim::SimHartIpOptions options;
    options.port = 0;
    sim::SimHartIpServer gone(sim::DeviceResponder(device), options);
    ASSERT_TRUE(gone.Start());
    const HartIpEndpoint closed = gone.Endpoint(HartIpProtocol::Tcp);
    gone.Stop();

    struct Row {
        std::string url;
        CommResult result;
        HartIpFailureKind kind;
        const char* key;
    };
    const Row rows[] = {
        {"", kCommNoPortName, HartIpFailureKind::None, nullptr},
        {"hartip://ho st", kCommPortNotOpened, HartIpFailureKind::BadUrl, "Err_HartIp_Url_Why"},
        {closed.Url(), kCommPortNotOpened, HartIpFailureKind::Refused, "Err_HartIp_Refused"},
        {"hartip://no-such-gateway.invalid", kCommPortNotOpened, HartIpFailureKind::HostNotFound,
         "Err_HartIp_Host_Not_Found"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.url);
        HartIpClient client(Fast());
        const auto start = SteadyClock::now();
        EXPECT_EQ(client.Open(row.url), row.result);
        EXPECT_LT(MsSince(start), Fast().connectTimeoutMs + 1000);
        EXPECT_FALSE(client.IsOpen());
        EXPECT_EQ(client.LastFailure().kind, row.kind);
        const auto message = client.FailureMessage();
        EXPECT_EQ(message.has_value(), row.key != nullptr);
        if (message) {
            EXPECT_EQ(message->key, row.key);
        }
        // And an exchange on it fails without waiting.
        DeviceState session;
        EXPECT_EQ(Ask(client, session, 0, 1000), kCommExchangeFailed);
    }
}

// A server that says exactly what a test scripts, in one write.
class ScriptedServer {
public:
    ScriptedServer() {
        SocketFault fault;
        std::string text;
        const auto local =
            Socket::Resolve("127.0.0.1", 0, SocketType::Stream, 1000, nullptr, fault, text);
        EXPECT_TRUE(listener_.Listen(local.at(0), SocketType::Stream)) << listener_.LastError();
    }
    std::string Url() const {
        return "hartip://127.0.0.1:" + std::to_string(listener_.LocalAddress().Port());
    }

    // Accepts one client, answers its session initiate, then for each request
    // writes what `answer` makes of it.
    void Serve(std::function<Bytes(const HartIpReceived&)> answer) {
        thread_ = std::thread([this, answer] {
            Socket client;
            for (int i = 0; i < 200 && !client.IsOpen(); ++i) {
                client = listener_.Accept();
                if (!client.IsOpen()) std::this_thread::sleep_for(10ms);
            }
            HartIpStreamReader reader;
            Bytes buffer(2048);
            while (client.IsOpen()) {
                const auto got = client.Receive(buffer, 2000, nullptr);
                if (got.fault != SocketFault::None) return;
                reader.Feed(std::span<const std::uint8_t>(buffer.data(), got.size));
                while (auto m = reader.Next()) {
                    sequences.push_back(m->header.sequence);
                    HartIpHeader h = m->header;
                    h.type = HartIpMessageType::Response;
                    Bytes out = m->header.id == HartIpMessageId::TokenPassingPdu
                                    ? answer(*m)
                                    : HartIpMessage(h, m->body);
                    client.Send(out, 1000, nullptr);
                }
            }
        });
    }
    ~ScriptedServer() { Join(); }
    // Waits until the client has gone.
    void Join() {
        if (thread_.joinable()) thread_.join();
    }
    std::vector<std::uint16_t> sequences;  // read after Join()

private:
    Socket listener_;
    std::thread thread_;
};

TEST(HartIpClientWireTest, PicksTheAnswerOutOfOneReadOfStrayMessages) {
    sim::SimDevice device;
    const sim::GatewayResponder respond = sim::DeviceResponder(device);
    ScriptedServer server;
    // Before the answer, in the same write: the answer to the previous
    // sequence number, a publish message, an error message for another number.
    server.Serve([&](const HartIpReceived& request) {
        const Bytes frame = *respond(request.body);
        HartIpHeader h = request.header;
        h.type = HartIpMessageType::Response;
        Bytes out;
        auto add = [&](HartIpHeader header, const Bytes& body) {
            const Bytes m = HartIpMessage(header, body);
            out.insert(out.end(), m.begin(), m.end());
        };
        HartIpHeader stale = h;
        --stale.sequence;
        add(stale, frame);
        HartIpHeader publish = h;
        publish.type = HartIpMessageType::Publish;
        add(publish, frame);
        HartIpHeader error = h;
        error.type = HartIpMessageType::Error;
        error.sequence = static_cast<std::uint16_t>(h.sequence + 7);
        add(error, {kHartIpErrorServiceUnavailable});
        add(h, frame);
        return out;
    });
    HartIpClient client(Fast());
    ASSERT_EQ(client.Open(server.Url()), kCommSuccess) << client.LastError();
    DeviceState session;
    EXPECT_EQ(Ask(client, session, 0, 1000), kCommSuccess) << client.LastError();
    EXPECT_EQ(Ask(client, session, 13, 1000), kCommSuccess) << client.LastError();
    EXPECT_EQ(client.Dropped(), 6u);
    client.Close();
    server.Join();
    EXPECT_EQ(session.record.tag, device.State().tag);
    // Every request took the next sequence number: initiate, two PDUs, close.
    ASSERT_EQ(server.sequences.size(), 4u);
    for (std::size_t i = 1; i < server.sequences.size(); ++i) {
        EXPECT_EQ(server.sequences[i], static_cast<std::uint16_t>(server.sequences[i - 1] + 1));
    }
}

TEST(HartIpClientWireTest, RefusesAnswersThatAreNoWholeFrameOfTheCommand) {
    sim::SimDevice device;
    const sim::GatewayResponder respond = sim::DeviceResponder(device);
    struct Row {
        const char* name;
        std::function<Bytes(HartIpHeader, Bytes)> answer;
        HartIpFailureKind kind;
    };
    const Row rows[] = {
        {"checksum broken",
         [](HartIpHeader h, Bytes f) {
             f.back() ^= 0x01;
             return HartIpMessage(h, f);
         },
         HartIpFailureKind::BadAnswer},
        {"a status and no frame",
         [](HartIpHeader h, Bytes) {
             h.status = kHartIpTooFewDataBytes;
             return HartIpMessage(h, {});
         },
         HartIpFailureKind::ErrorMessage},
        {"a NAK",
         [](HartIpHeader h, Bytes) {
             h.type = HartIpMessageType::Nak;
             h.status = 16;
             return HartIpMessage(h, {});
         },
         HartIpFailureKind::ErrorMessage},
        {"a byte count of 3",
         [](HartIpHeader h, Bytes f) {
             Bytes m = HartIpMessage(h, f);
             m[7] = 3;
             return m;
         },
         HartIpFailureKind::BadAnswer},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedServer server;
        server.Serve([&](const HartIpReceived& request) {
            HartIpHeader h = request.header;
            h.type = HartIpMessageType::Response;
            return row.answer(h, *respond(request.body));
        });
        HartIpClient client(Fast());
        ASSERT_EQ(client.Open(server.Url()), kCommSuccess);
        DeviceState session;
        EXPECT_EQ(Ask(client, session, 0, 1000), kCommExchangeFailed);
        EXPECT_EQ(client.LastFailure().kind, row.kind);
        EXPECT_TRUE(client.FailureMessage().has_value());
        client.Close();
    }
}

}  // namespace
}  // namespace qt40
