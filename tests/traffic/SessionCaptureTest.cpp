// A HART-IP session recorded against the simulated gateway over real
// loopback sockets: the session's own messages reach the recorder as they
// went, the capture holds them, tshark reads them, and they read back.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "hart/FrameCodec.h"
#include "sim/SimHartIpServer.h"
#include "tests/traffic/Tshark.h"
#include "traffic/CaptureReader.h"
#include "traffic/CaptureWriter.h"
#include "traffic/ExchangeRecorder.h"
#include "traffic/ExchangeText.h"
#include "transport/HartIpClient.h"
#include "transport/HartIpHeader.h"

namespace qt40::traffic {
namespace {

using namespace test;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

Bytes Command0() {
    HartLink l;
    l.command = 0;
    Bytes frame(kMaxFrameSize);
    frame.resize(BuildRequestFrame(l, frame));
    return frame;
}

// One exchange, told to the recorder as the link tells it.
ReceiveEnd Exchange0(HartIpClient& client, ExchangeRecorder& recorder, int timeoutMs) {
    const Bytes frame = Command0();
    const SendResult sent = client.Send(frame, [&](std::span<const std::uint8_t> message) {
        recorder.RequestMessage(message);
        recorder.RequestSent(frame, 1);
    });
    if (!sent.sent) return ReceiveEnd::PortLost;
    Bytes answer(kMaxFrameSize);
    const ReceiveResult got = client.Receive(answer, timeoutMs);
    if (!got.message.empty()) recorder.AnswerMessage(got.message);
    recorder.ReceiveEnded(std::span(answer).first(got.size), got.preambles, got.end);
    return got.end;
}

// (message ID, message type) of every session record, in order.
std::vector<std::pair<int, int>> SessionMessages(const std::vector<ExchangePtr>& records) {
    std::vector<std::pair<int, int>> out;
    for (const ExchangePtr& e : records) {
        if (!e->sessionMessage) continue;
        const auto header =
            DecodeHartIpHeader(e->requestMessage.empty() ? e->answerMessage : e->requestMessage);
        if (header) out.emplace_back(static_cast<int>(header->id), static_cast<int>(header->type));
    }
    return out;
}

bool Holds(const std::vector<std::pair<int, int>>& all, std::pair<int, int> one) {
    return std::find(all.begin(), all.end(), one) != all.end();
}

std::filesystem::path Save(const std::vector<ExchangePtr>& records, const std::string& name) {
    const auto path = std::filesystem::temp_directory_path() / ("qt40-session-" + name + ".pcapng");
    CaptureSource source{"hartip://127.0.0.1", 1'700'000'000'000'000, 0, "test"};
    EXPECT_TRUE(CaptureWriter::Save(path, records, source).ok());
    return path;
}

class SessionCaptureTest : public ::testing::TestWithParam<HartIpProtocol> {
protected:
    Transport Kind() const {
        return GetParam() == HartIpProtocol::Udp ? Transport::HartIpUdp : Transport::HartIpTcp;
    }
    std::string Name(const char* what) const {
        return std::string(what) + (GetParam() == HartIpProtocol::Udp ? "-udp" : "-tcp");
    }
};

INSTANTIATE_TEST_SUITE_P(Both, SessionCaptureTest,
                         ::testing::Values(HartIpProtocol::Tcp, HartIpProtocol::Udp),
                         [](const auto& info) {
                             return info.param == HartIpProtocol::Tcp ? "Tcp" : "Udp";
                         });

TEST_P(SessionCaptureTest, InitiateKeepAliveAndCloseAreCapturedAndReadByTshark) {
    ASSERT_TRUE(TsharkInstalled()) << "tshark is missing: ./dev test installs it";
    sim::SimDevice device;
    sim::SimHartIpOptions options;
    options.port = 0;
    sim::SimHartIpServer server(sim::DeviceResponder(device), options);
    ASSERT_TRUE(server.Start()) << server.LastError();

    ExchangeRecorder recorder;
    {
        HartIpClientOptions o;
        o.answerTimeoutMs = 1000;
        o.inactivityTimerMs = 300;  // a keep-alive after 150 ms of quiet
        HartIpClient client(o);
        client.SetSessionObserver(&recorder);
        ASSERT_EQ(client.Open(server.Endpoint(GetParam()).Url()), kCommSuccess)
            << client.LastError();
        EXPECT_EQ(Exchange0(client, recorder, 1000), ReceiveEnd::Answer);
        // Until the keep-alive's answer is in the record.
        for (int i = 0; i < 300 && !Holds(SessionMessages(recorder.All()), {2, 1}); ++i) {
            std::this_thread::sleep_for(10ms);
        }
        client.Close();
    }
    const std::vector<ExchangePtr> records = recorder.All();
    const auto session = SessionMessages(records);
    ASSERT_GE(session.size(), 6u);
    EXPECT_EQ(session.front(), std::make_pair(0, 0));  // the initiate went first
    EXPECT_EQ(session[1], std::make_pair(0, 1));
    EXPECT_TRUE(Holds(session, {2, 0}));
    EXPECT_TRUE(Holds(session, {2, 1}));
    EXPECT_EQ(session[session.size() - 2], std::make_pair(1, 0));  // the close went last
    EXPECT_EQ(session.back(), std::make_pair(1, 1));
    // The session's records are numbered with the exchange in one sequence.
    for (std::size_t i = 1; i < records.size(); ++i)
        EXPECT_EQ(records[i]->number, records[i - 1]->number + 1);
    EXPECT_EQ(records.front()->transport, Kind());

    const auto path = Save(records, Name("kept"));
    EXPECT_EQ(Tshark(path.string(), kFaultFilter), "");
    const auto ids = Lines(Tshark(
        path.string(), "-Y hart_ip -T fields -e hart_ip.message_id -e hart_ip.message_type"));
    ASSERT_EQ(ids.size(), session.size() + 2);  // and the exchange's two
    EXPECT_EQ(ids.front(), "0\t0");
    EXPECT_EQ(ids.back(), "1\t1");
    EXPECT_EQ(Lines(Tshark(path.string(),
                           "-Y 'hart_ip.message_id == 0 && hart_ip.message_type == 1' -T fields "
                           "-e hart_ip.session_init.inactivity_close_timer")),
              std::vector<std::string>{"300"});

    // Read back: the same records, in words.
    std::string error;
    const auto read = CaptureReader::ReadFile(path, error);
    ASSERT_TRUE(read) << error;
    ASSERT_EQ(read->exchanges.size(), records.size());
    EXPECT_TRUE(read->NotRead().empty());
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(read->exchanges[i].number, records[i]->number);
        EXPECT_EQ(read->exchanges[i].sessionMessage, records[i]->sessionMessage);
    }
    EXPECT_EQ(
        TraceLines(read->exchanges.front()).front(),
        "TX #1: HART-IP session initiate request: Sequence = 1, Host type = 1 (primary host), "
        "Inactivity close timer = 300 ms");
    EXPECT_EQ(Columns(read->exchanges.back()).name, "HART-IP session close response");
    std::filesystem::remove(path);
}

// What the gateway said that ended no exchange: a refused session, an answer
// that came after its request was given up.
TEST_P(SessionCaptureTest, RefusalsAndLateAnswersAreCaptured) {
    ASSERT_TRUE(TsharkInstalled()) << "tshark is missing: ./dev test installs it";
    sim::SimDevice device;
    struct Case {
        const char* name;
        std::optional<std::uint8_t> refuse;
        int latencyMs;
        std::pair<int, int> told;  // the message ID and type it must hold
        const char* response;
        ResultClass result;
    };
    const Case cases[] = {
        {"refused",
         kHartIpNoSessionAvailable,
         0,
         {0, 1},
         "no session available (status 15)",
         ResultClass::Refused},
        {"late", std::nullopt, 400, {3, 1}, "success", ResultClass::Ok},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::SimHartIpOptions options;
        options.port = 0;
        options.refuseSessions = c.refuse;
        options.latencyMs = c.latencyMs;
        sim::SimHartIpServer server(sim::DeviceResponder(device), options);
        ASSERT_TRUE(server.Start()) << server.LastError();
        ExchangeRecorder recorder;
        {
            HartIpClientOptions o;
            o.answerTimeoutMs = 1000;
            HartIpClient client(o);
            client.SetSessionObserver(&recorder);
            const CommResult opened = client.Open(server.Endpoint(GetParam()).Url());
            if (c.refuse) {
                EXPECT_NE(opened, kCommSuccess);
            } else {
                ASSERT_EQ(opened, kCommSuccess) << client.LastError();
                EXPECT_EQ(Exchange0(client, recorder, 100), ReceiveEnd::NoAnswer);
                std::this_thread::sleep_for(600ms);  // the answer comes meanwhile
                Exchange0(client, recorder, 1000);
            }
        }
        const std::vector<ExchangePtr> records = recorder.All();
        const ExchangePtr* told = nullptr;
        for (const ExchangePtr& e : records) {
            if (e->sessionMessage && !e->answerMessage.empty() &&
                SessionMessages({e}).front() == c.told) {
                told = &e;
                break;
            }
        }
        ASSERT_NE(told, nullptr);
        EXPECT_EQ(Columns(**told).response, c.response);
        EXPECT_EQ((*told)->Result(), c.result);

        const auto path = Save(records, Name(c.name));
        EXPECT_EQ(Tshark(path.string(), kFaultFilter), "");
        std::string error;
        const auto read = CaptureReader::ReadFile(path, error);
        ASSERT_TRUE(read) << error;
        ASSERT_EQ(read->exchanges.size(), records.size());
        // The late answer stays apart from the request it was too late for.
        for (const Exchange& e : read->exchanges) {
            if (!e.sessionMessage) {
                EXPECT_TRUE(e.answerMessage.empty() || e.outcome == Outcome::Answered);
            }
        }
        if (c.refuse) {
            EXPECT_EQ(Lines(Tshark(path.string(),
                                   "-Y 'hart_ip.message_type == 1' -T fields -e hart_ip.status")),
                      std::vector<std::string>{"15"});
        }
        std::filesystem::remove(path);
    }
}

}  // namespace
}  // namespace qt40::traffic
