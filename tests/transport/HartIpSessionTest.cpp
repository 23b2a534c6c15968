// The session's timers on virtual time, against the simulator's HART-IP
// server on the loopback (its timers on a manual clock of their own, which
// says when it has taken what came): keep-alives fall due to the millisecond,
// and a session the server forgot or dropped is opened again.
#include "transport/HartIpSession.h"

#include <gtest/gtest.h>

#include <vector>

#include "sim/SimDevice.h"
#include "sim/SimHartIpServer.h"

namespace qt40 {
namespace {

// Command 0 at polling address 0, short frame, from the primary master.
const std::vector<std::uint8_t> kCommand0 = {0x02, 0x80, 0x00, 0x00, 0x82};

struct Rig {
    Rig(HartIpProtocol protocol, std::uint32_t timerMs, sim::SimHartIpOptions serverOptions = {})
        : server(sim::DeviceResponder(device), Local(serverOptions), &serverClock),
          session(Options(timerMs), clock, trace) {
        EXPECT_TRUE(server.Start()) << server.LastError();
        session.Reset("test");
        session.SetEndpoint(server.Endpoint(protocol));
    }
    static sim::SimHartIpOptions Local(sim::SimHartIpOptions o) {
        o.port = 0;
        return o;
    }
    const HartIpClientOptions& Options(std::uint32_t timerMs) {
        options.answerTimeoutMs = 1000;
        options.connectTimeoutMs = 2000;
        options.inactivityTimerMs = timerMs;
        return options;
    }
    // Idle for `ms` of virtual time, then the keeper's turn. A keep-alive
    // just sent is answered (or not) before the next turn takes it in.
    void Idle(int ms) {
        clock.Advance(ms);
        const std::uint64_t before = session.KeepAlivesSent();
        session.Keep();
        if (session.KeepAlivesSent() != before) {
            EXPECT_TRUE(serverClock.AwaitSleepers(1));
            session.Keep();
        }
    }
    bool Exchange() {
        if (!session.SendRequest(kCommand0, {})) return false;
        const HartIpSession::Awaited awaited =
            session.AwaitReply(*session.Exchange(), session.After(1000));
        session.ClearExchange();
        return awaited.wait == HartIpSession::Wait::Reply &&
               awaited.reply.kind == HartIpReplyKind::Answer;
    }

    ManualClock serverClock;
    sim::SimDevice device;
    sim::SimHartIpServer server;
    HartIpClientOptions options;
    VirtualClock clock;
    NullTraceSink trace;
    HartIpSession session;
};

struct Step {
    int idleMs;
    bool exchange;  // a request after the idle time, before the keeper's turn
    std::uint64_t keepAlives;
};

TEST(HartIpSessionTest, SendsKeepAlivesAtHalfTheGrantedTimerWhileIdle) {
    struct Row {
        const char* name;
        std::uint32_t timerMs;
        bool answered;
        std::vector<Step> steps;
    };
    const Row rows[] = {
        {"at half the timer, and again half a timer after the last",
         10000,
         true,
         {{4999, false, 0}, {1, false, 1}, {4999, false, 1}, {1, false, 2}}},
        {"a request moves the next one",
         10000,
         true,
         {{3000, true, 0}, {4999, false, 0}, {1, false, 1}}},
        // Unanswered: another an eighth of the timer after the answer time-out ran out.
        {"unanswered, a short timer",
         4000,
         false,
         {{2000, false, 1}, {999, false, 1}, {1, false, 1}, {499, false, 1}, {1, false, 2}}},
        // ...but never more than a second after.
        {"unanswered, a long timer",
         60000,
         false,
         {{30000, false, 1}, {1000, false, 1}, {999, false, 1}, {1, false, 2}}},
    };
    for (const HartIpProtocol protocol : {HartIpProtocol::Tcp, HartIpProtocol::Udp}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.name) +
                         (protocol == HartIpProtocol::Tcp ? " (TCP)" : " (UDP)"));
            sim::SimHartIpOptions serverOptions;
            serverOptions.ignoreKeepAlives = !row.answered;
            Rig rig(protocol, row.timerMs, serverOptions);
            ASSERT_TRUE(rig.session.Start()) << HartIpFailureText(rig.session.LastFailure());
            ASSERT_EQ(rig.session.GrantedTimerMs(), row.timerMs);
            for (std::size_t i = 0; i < row.steps.size(); ++i) {
                const Step& step = row.steps[i];
                SCOPED_TRACE("step " + std::to_string(i));
                rig.clock.Advance(step.idleMs);
                if (step.exchange) {
                    ASSERT_TRUE(rig.Exchange());
                }
                rig.Idle(0);
                EXPECT_EQ(rig.session.KeepAlivesSent(), step.keepAlives);
            }
            EXPECT_TRUE(rig.session.IsOpen());
            EXPECT_EQ(rig.session.SessionsOpened(), 1u);
        }
    }
}

TEST(HartIpSessionTest, OpensTheSessionAgainAfterTheServerForgotIt) {
    struct Row {
        const char* name;
        HartIpProtocol protocol;
        bool forget;
        std::uint64_t sessions;
    };
    const Row rows[] = {
        {"UDP, the server still holds it", HartIpProtocol::Udp, false, 1},
        {"UDP, the server forgot it", HartIpProtocol::Udp, true, 2},
        {"TCP, the server dropped the connection", HartIpProtocol::Tcp, true, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig(row.protocol, 60000);
        ASSERT_TRUE(rig.session.Start()) << HartIpFailureText(rig.session.LastFailure());
        ASSERT_TRUE(rig.Exchange());
        if (row.forget) {
            rig.server.DropConnections();
            ASSERT_TRUE(rig.serverClock.AwaitSleepers(1));  // dropped
        }
        if (row.protocol == HartIpProtocol::Udp) {
            // As after a request that went unanswered.
            HartIpFailure why;
            EXPECT_TRUE(rig.session.Reinitiate(why)) << HartIpFailureText(why);
        } else {
            // The keeper sees the connection end while idle; the next exchange opens anew.
            rig.session.Keep();
            EXPECT_FALSE(rig.session.IsOpen());
            ASSERT_TRUE(rig.session.Start()) << HartIpFailureText(rig.session.LastFailure());
        }
        EXPECT_TRUE(rig.Exchange());
        EXPECT_EQ(rig.session.SessionsOpened(), row.sessions);
        EXPECT_EQ(rig.server.SessionsOpen(), 1u);
    }
}

}  // namespace
}  // namespace qt40
