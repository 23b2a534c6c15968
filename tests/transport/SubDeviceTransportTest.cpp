// A QT40 behind an I/O system, through command 77: the transport over a real
// HART-IP client and the simulator's HART-IP server on the loopback, with an
// I/O system that delays, stays busy, refuses and misanswers.

#include "transport/SubDeviceTransport.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "hart/FrameCodec.h"
#include "tests/support/HostileIoSystem.h"
#include "tests/transport/UploadSequence.h"
#include "transport/HartIpClient.h"

namespace qt40 {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::HostileIoSystem;

// Counts the token-passing messages beside the exchanges (not the session's own).
class Messages final : public SessionMessageObserver {
public:
    void SessionMessage(std::span<const std::uint8_t> m, bool sent, TransportKind) override {
        if (m.size() > 2 && m[2] == 3) ++(sent ? sent_ : received_);
    }
    int sent_ = 0;
    int received_ = 0;
};

SubDeviceOptions Quick(int answerTimeoutMs = 2000) {
    SubDeviceOptions o;
    o.firstRepeatMs = 5;
    o.repeatMs = 10;
    o.answerTimeoutMs = answerTimeoutMs;
    o.searchAnswerTimeoutMs = answerTimeoutMs;
    return o;
}

std::unique_ptr<SubDeviceTransport> Through(SubDeviceOptions options = Quick()) {
    HartIpClientOptions client;
    client.answerTimeoutMs = 1000;
    client.connectTimeoutMs = 2000;
    return std::make_unique<SubDeviceTransport>(std::make_unique<HartIpClient>(client), options);
}

// Command `command` (0 at polling address 0) as the worker builds it.
bool Ask(FrameTransport& t, DeviceState& session, std::uint8_t command,
         std::string* failure = nullptr) {
    return testing::RunStep(t, session, *FindCommand(command), t.Timing().answerTimeoutMs, failure);
}

class SubDeviceTransportTest : public ::testing::TestWithParam<HartIpProtocol> {};

INSTANTIATE_TEST_SUITE_P(Both, SubDeviceTransportTest,
                         ::testing::Values(HartIpProtocol::Tcp, HartIpProtocol::Udp),
                         [](const auto& info) {
                             return info.param == HartIpProtocol::Tcp ? "Tcp" : "Udp";
                         });

// Given an I/O system that answers every request 33, then 34 twice, before
// the answer; when an upload goes through it; then each request reaches the
// QT40 once, in order, its repeats identical, and the link sees only answers.
TEST_P(SubDeviceTransportTest, AnUploadGoesThroughDelayedResponsesWithIdenticalRepeats) {
    HostileIoSystem io(testing::IoSystemScript::Codes({33, 34, 34}));
    ASSERT_TRUE(io.started);
    io.Locked([&] { io.device.RecordRequests(true); });
    auto t = Through();
    Messages messages;
    t->SetSessionObserver(&messages);
    ASSERT_EQ(t->Open(io.Url(GetParam())), kCommSuccess) << t->LastError();
    EXPECT_EQ(t->Name(), io.Url(GetParam()));
    EXPECT_EQ(t->Place(), (SubDevicePlace{1, 2}));
    EXPECT_EQ(t->IoSystemAddress(), HostileIoSystem::kAddress);
    EXPECT_EQ(t->Timing().requestPreambles, 0);
    EXPECT_FALSE(t->Timing().loopPacing);

    DeviceState session;
    const testing::UploadRun run = testing::RunUpload(*t, session, t->Timing().answerTimeoutMs);
    EXPECT_EQ(run.failure, "");
    EXPECT_EQ(run.accepted, 19);
    const sim::SimState state = io.Locked([&] { return io.device.State(); });
    EXPECT_EQ(session.record.tag, state.tag);

    std::vector<std::uint8_t> heard;
    io.Locked([&] {
        for (const auto& r : io.device.Heard()) heard.push_back(r.command);
    });
    EXPECT_EQ(heard, run.commands);
    io.Locked([&] {
        EXPECT_EQ(io.identityReads, 1);
        EXPECT_EQ(io.conflicts, 0);
        ASSERT_EQ(io.requests.size(), 19u * 4);
        for (std::size_t i = 0; i < io.requests.size(); i += 4) {
            EXPECT_EQ(io.requests[i][0], 1);  // card
            EXPECT_EQ(io.requests[i][1], 2);  // channel
            EXPECT_EQ(io.requests[i][2], 5);  // the preambles the QT40's identity asks for
            for (std::size_t r = 1; r < 4; ++r) EXPECT_EQ(io.requests[i + r], io.requests[i]);
        }
    });
    // The identity read and the three delayed answers and repeats of each request.
    EXPECT_EQ(messages.sent_, 1 + 19 * 3);
    EXPECT_EQ(messages.received_, 1 + 19 * 3);
}

TEST_P(SubDeviceTransportTest, BusyAndConflictAreRepeatedUntilTheAnswer) {
    for (const std::uint8_t code : {32, 36}) {
        SCOPED_TRACE(code);
        HostileIoSystem io(testing::IoSystemScript::Codes({33, code, 34}));
        ASSERT_TRUE(io.started);
        auto t = Through();
        ASSERT_EQ(t->Open(io.Url(GetParam())), kCommSuccess) << t->LastError();
        DeviceState session;
        std::string failure;
        EXPECT_TRUE(Ask(*t, session, 0, &failure)) << failure;
        EXPECT_TRUE(Ask(*t, session, 13, &failure)) << failure;
    }
}

// Each way the I/O system ends a request without the device's answer, told
// in words that name the card and channel, and never taken for an answer.
TEST_P(SubDeviceTransportTest, WhatTheIoSystemRefusesIsToldInWords) {
    struct Row {
        const char* name;
        HostileIoSystem::Script script;
        int card;
        int channel;
        ReceiveEnd end;
        const char* key;
        const char* english;  // found in LastError
    };
    const Row rows[] = {
        {"an empty channel", testing::IoSystemScript::Codes({33}), 1, 3, ReceiveEnd::NoAnswer,
         "Err_SubDevice_No_Answer", "no answer from the device on card 1 channel 3"},
        {"an invalid card", testing::IoSystemScript(), 9, 2, ReceiveEnd::NoAnswer,
         "Err_SubDevice_Bad_Card", "has no I/O card 9"},
        {"an invalid channel", testing::IoSystemScript(), 1, 12, ReceiveEnd::NoAnswer,
         "Err_SubDevice_Bad_Channel", "has no channel 12 on card 1"},
        {"another card and channel echoed", testing::IoSystemScript::WrongPlace(), 1, 2,
         ReceiveEnd::Incomplete, "Err_SubDevice_Wrong_Place",
         "answered for card 2 channel 2 instead of card 1 channel 2"},
        {"delayed for good", testing::IoSystemScript::Forever(), 1, 2, ReceiveEnd::NoAnswer,
         "Err_SubDevice_Timeout", "within 300 ms (the I/O system last answered response code 34"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        HostileIoSystem io(row.script);
        ASSERT_TRUE(io.started);
        auto t = Through(Quick(300));
        ASSERT_EQ(t->Open(io.Url(GetParam(), row.card, row.channel)), kCommSuccess)
            << t->LastError();
        DeviceState session;
        PrepareRequest(session, *FindCommand(0));
        Bytes frame(kMaxFrameSize);
        frame.resize(BuildRequestFrame(session.link, frame));
        ASSERT_TRUE(t->Send(frame).sent);
        Bytes answer(kMaxFrameSize);
        const ReceiveResult got = t->Receive(answer, 300);
        EXPECT_EQ(got.end, row.end);
        EXPECT_FALSE(got.message.empty());  // the message it ended with, for the record
        const auto message = t->FailureMessage();
        ASSERT_TRUE(message.has_value());
        EXPECT_EQ(message->key, row.key);
        EXPECT_NE(t->LastError().find(row.english), std::string::npos) << t->LastError();
        io.Locked([&] {
            // Paced: the 300 ms of a request delayed for good hold a bounded
            // number of repeats (one every 10 ms at most), none of them a conflict.
            EXPECT_LE(io.requests.size(), 300u / 10 + 2);
            EXPECT_EQ(io.conflicts, 0);
        });
    }
}

TEST_P(SubDeviceTransportTest, AServerThatIsNoIoSystemIsToldApart) {
    // A plain gateway with a QT40 at polling address 0: the QT40 identifies
    // itself, then refuses command 77 as a command it does not implement.
    sim::SimDevice device;
    sim::SimHartIpOptions options;
    options.port = 0;
    sim::SimHartIpServer plain(sim::DeviceResponder(device), options);
    ASSERT_TRUE(plain.Start());
    auto t = Through();
    const std::string url = plain.Endpoint(GetParam()).Url() + "/0/1";
    ASSERT_EQ(t->Open(url), kCommSuccess) << t->LastError();
    DeviceState session;
    std::string failure;
    EXPECT_FALSE(Ask(*t, session, 0, &failure));
    ASSERT_TRUE(t->FailureMessage().has_value());
    EXPECT_EQ(t->FailureMessage()->key, "Err_SubDevice_Refused");

    // A name without card and channel, or with a malformed path, is refused before connecting.
    for (const std::string& name :
         {plain.Endpoint(GetParam()).Url(), plain.Endpoint(GetParam()).Url() + "/1"}) {
        EXPECT_EQ(t->Open(name), kCommPortNotOpened);
        ASSERT_TRUE(t->FailureMessage().has_value());
        EXPECT_EQ(t->FailureMessage()->key, "Err_HartIp_Url_Why");
    }
}

}  // namespace
}  // namespace qt40
