// The link and the headless connection through a HART-IP gateway: the
// simulator's server on real loopback sockets, TCP and UDP.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "link/CommWorker.h"
#include "procedures/ConnectionController.h"
#include "link/DataLink.h"
#include "procedures/Station.h"
#include "tests/support/StationOver.h"
#include "hart/FrameCodec.h"
#include "procedures/HeadlessConnection.h"
#include "link/NotificationQueue.h"
#include "model/ScriptedPrompts.h"
#include "sim/SimHartIpServer.h"
#include "sim/SimLoopbackPort.h"
#include "sim/SimMultidrop.h"

namespace qt40 {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

class RecordingTrace final : public TraceSink {
public:
    void Trace(std::string_view line) override {
        std::lock_guard lock(mutex);
        lines.emplace_back(line);
    }
    bool Has(const std::string& line) {
        std::lock_guard lock(mutex);
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    std::mutex mutex;
    std::vector<std::string> lines;
};

// Every call, in order, as one word each with its bytes.
class RecordingObserver final : public LinkObserver {
public:
    void TransportOpened(TransportKind kind) override { opened.push_back(kind); }
    void RequestMessage(std::span<const std::uint8_t> m) override { Note("request message", m); }
    void RequestSent(std::span<const std::uint8_t> f, int) override { Note("sent", f); }
    void RequestNotSent(std::span<const std::uint8_t> f, int, SendFailure) override { Note("not sent", f); }
    void AnswerMessage(std::span<const std::uint8_t> m) override { Note("answer message", m); }
    void ReceiveEnded(std::span<const std::uint8_t> f, int preambles, ReceiveEnd end) override {
        Note("received", f);
        ends.push_back(end);
        answerPreambles.push_back(preambles);
    }
    std::vector<std::string> Calls() const {
        std::vector<std::string> names;
        for (const auto& c : calls) names.push_back(c.first);
        return names;
    }
    std::vector<TransportKind> opened;
    std::vector<std::pair<std::string, Bytes>> calls;
    std::vector<ReceiveEnd> ends;
    std::vector<int> answerPreambles;

private:
    void Note(const char* what, std::span<const std::uint8_t> bytes) {
        calls.emplace_back(what, Bytes(bytes.begin(), bytes.end()));
    }
};

Bytes Request(std::uint8_t command, int address = 0) {
    HartLink l;
    l.command = command;
    l.pollingAddress = address;
    Bytes frame(kMaxFrameSize);
    frame.resize(BuildRequestFrame(l, frame));
    return frame;
}

struct Gateway {
    explicit Gateway(sim::SimHartIpOptions options = {}) : server(sim::DeviceResponder(device), Local(options)) {
        EXPECT_TRUE(server.Start()) << server.LastError();
    }
    Gateway(sim::GatewayResponder responder, sim::SimHartIpOptions options)
        : server(std::move(responder), Local(options)) {
        EXPECT_TRUE(server.Start()) << server.LastError();
    }
    static sim::SimHartIpOptions Local(sim::SimHartIpOptions o) {
        o.port = 0;
        return o;
    }
    std::string Url(HartIpProtocol p) const { return server.Endpoint(p).Url(); }

    sim::SimDevice device;
    sim::SimHartIpServer server;
};

struct LinkParts {
    // The link's serial port, never opened but for the switch back to it.
    VirtualClock clock;
    sim::SimDevice serialDevice;
    sim::SimLoopbackPort serialPort{serialDevice, clock};
    RecordingTrace trace;
    RecordingObserver observer;
};

class HartIpLinkTest : public ::testing::TestWithParam<HartIpProtocol>, protected LinkParts {};
class HartIpLinkTcpTest : public ::testing::Test, protected LinkParts {};

INSTANTIATE_TEST_SUITE_P(Both, HartIpLinkTest, ::testing::Values(HartIpProtocol::Tcp, HartIpProtocol::Udp),
                         [](const auto& info) { return info.param == HartIpProtocol::Tcp ? "Tcp" : "Udp"; });

TEST_P(HartIpLinkTest, AGatewayNameSendsFramesWithoutPreamblesAndTellsTheMessagesAsTheyWent) {
    Gateway gateway;
    test::StationOver stack{serialPort, clock, trace, LinkTiming{}};
    DataLink& link = stack.station.Link();
    link.SetObserver(&observer);
    ASSERT_EQ(link.OpenPort(gateway.Url(GetParam()) + ": baud=9600 parity=N data=8 stop=1"), kCommSuccess)
        << link.LastError();
    EXPECT_EQ(link.PortName(), gateway.Url(GetParam()));
    EXPECT_EQ(observer.opened, std::vector<TransportKind>{GetParam() == HartIpProtocol::Tcp
                                                             ? TransportKind::HartIpTcp
                                                             : TransportKind::HartIpUdp});
    EXPECT_EQ(link.TransportTimes().answerTimeoutMs, 3000);

    const Bytes request = Request(0);  // five preambles, as the worker builds it
    ASSERT_EQ(link.Transact(request), kCommSuccess) << link.LastError();
    const Bytes frame(request.begin() + 5, request.end());
    ASSERT_EQ(observer.Calls(),
              (std::vector<std::string>{"request message", "sent", "answer message", "received"}));
    const Bytes& requestMessage = observer.calls[0].second;
    ASSERT_EQ(requestMessage.size(), 8 + frame.size());
    EXPECT_EQ(requestMessage[0], 1);  // version
    EXPECT_EQ(requestMessage[1], 0);  // request
    EXPECT_EQ(requestMessage[2], 3);  // token-passing PDU
    EXPECT_EQ(Bytes(requestMessage.begin() + 8, requestMessage.end()), frame);
    EXPECT_EQ(observer.calls[1].second, frame);
    const Bytes& answerMessage = observer.calls[2].second;
    ASSERT_GT(answerMessage.size(), 8u);
    EXPECT_EQ(answerMessage[1], 1);                                         // response
    EXPECT_EQ(answerMessage[4] * 256 + answerMessage[5], requestMessage[4] * 256 + requestMessage[5]);
    EXPECT_EQ(Bytes(answerMessage.begin() + 8, answerMessage.end()), observer.calls[3].second);
    EXPECT_EQ(Bytes(link.Received().begin(), link.Received().end()), observer.calls[3].second);
    EXPECT_EQ(observer.ends, std::vector<ReceiveEnd>{ReceiveEnd::Answer});
    EXPECT_TRUE(trace.Has("TX: 02,00,00,00,02,\n"));

    // The same link goes back to a serial port by name, preambles and all.
    link.ClosePort();
    ASSERT_EQ(link.OpenPort("COM3: baud=9600 parity=N data=8 stop=1"), kCommSuccess);
    EXPECT_EQ(link.Kind(), TransportKind::Serial);
    EXPECT_EQ(observer.opened.back(), TransportKind::Serial);
    ASSERT_EQ(link.Transact(request), kCommSuccess);
    EXPECT_EQ(observer.calls[observer.calls.size() - 2].first, "sent");
    EXPECT_EQ(observer.calls[observer.calls.size() - 2].second, request);
    EXPECT_EQ(observer.answerPreambles.back(), 5);
    // And to the gateway again.
    ASSERT_EQ(link.OpenPort(gateway.Url(GetParam())), kCommSuccess) << link.LastError();
    EXPECT_EQ(link.Transact(Request(0)), kCommSuccess) << link.LastError();
    EXPECT_EQ(gateway.server.Transactions(), 2u);
}

TEST_F(HartIpLinkTcpTest, AConnectionLostUnderARequestFailsItAtOnceAndReopenConnectsAgain) {
    sim::SimHartIpOptions options;
    options.latencyMs = 400;
    Gateway gateway(options);
    test::StationOver stack{serialPort, clock, trace, LinkTiming{}};
    DataLink& link = stack.station.Link();
    link.SetObserver(&observer);
    ASSERT_EQ(link.OpenPort(gateway.Url(HartIpProtocol::Tcp)), kCommSuccess) << link.LastError();

    auto result = std::async(std::launch::async, [&] { return link.Transact(Request(0)); });
    std::this_thread::sleep_for(100ms);
    gateway.server.DropConnections();
    ASSERT_EQ(result.wait_for(2s), std::future_status::ready) << "the lost connection was not seen";
    EXPECT_EQ(result.get(), kCommExchangeFailed);
    // One try only: every other would meet the same lost connection.
    EXPECT_EQ(observer.Calls(), (std::vector<std::string>{"request message", "sent", "received"}));
    EXPECT_EQ(observer.ends, std::vector<ReceiveEnd>{ReceiveEnd::PortLost});
    EXPECT_TRUE(link.PortGone());
    EXPECT_EQ(link.LastFailure(), LinkFailure::PortGone);
    const auto message = link.FailureMessage();
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(message->key, "Err_HartIp_Lost");

    ASSERT_EQ(link.ReopenPort(), kCommSuccess) << link.LastError();
    EXPECT_FALSE(link.PortGone());
    EXPECT_EQ(link.Transact(Request(0)), kCommSuccess) << link.LastError();
}

HeadlessConnection::Options ConnectionTo(const std::string& url);

TEST_P(HartIpLinkTest, DisconnectingClosesTheSessionWithTheGateway) {
    Gateway gateway;
    std::ostringstream out;
    {
        HeadlessConnection connection(ConnectionTo(gateway.Url(GetParam())), out, [] { return false; });
        ASSERT_TRUE(connection.Connect(0).ok);
        EXPECT_EQ(gateway.server.SessionsOpen(), 1u);
        // The worker stops (its waits cut short), then the port closes.
        connection.Disconnect();
        EXPECT_FALSE(connection.Worker().Link().IsOpen());
    }
    for (int i = 0; i < 100 && gateway.server.SessionsOpen() != 0; ++i) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(gateway.server.SessionsOpen(), 0u);
    // Closed by us, not left to the gateway's timer.
    EXPECT_EQ(gateway.server.SessionsExpired(), 0u);
}

HeadlessConnection::Options ConnectionTo(const std::string& url) {
    HeadlessConnection::Options o;
    o.port = url;
    o.timing = LinkTiming::Fast();
    o.reconnectWaitMs = 0;
    o.timeoutMs = 10000;
    return o;
}

TEST_P(HartIpLinkTest, ASearchPollsTheAddressesWithTheShorterSearchTimeOut) {
    sim::SimMultidrop loop = sim::SimMultidrop::Plant(2, 5000, {sim::SimModel::QT40});
    Gateway gateway(sim::LoopResponder(loop.Responder()), {});
    std::ostringstream out;
    HeadlessConnection::Options o = ConnectionTo(gateway.Url(GetParam()));
    o.hartIp.answerTimeoutMs = 300;
    HeadlessConnection connection(o, out, [] { return false; });
    const ConnectionOutcome found = connection.Search(0);
    ASSERT_TRUE(found.ok) << found.error;
    EXPECT_EQ(connection.FoundAddress(), 1);
    EXPECT_EQ(out.str(), "trying address 0\ntrying address 1\n");
    EXPECT_EQ(connection.Record().deviceIdText, "5000");
    EXPECT_EQ(connection.Worker().Link().TransportTimes().searchAnswerTimeoutMs, 300);

    // Left to itself, a search does not wait the whole answer time-out.
    HeadlessConnection plain(ConnectionTo(gateway.Url(GetParam())), out, [] { return false; });
    ASSERT_TRUE(plain.Identify(1).ok);
    EXPECT_EQ(plain.Worker().Link().TransportTimes().answerTimeoutMs, 3000);
    EXPECT_EQ(plain.Worker().Link().TransportTimes().searchAnswerTimeoutMs, kHartIpSearchAnswerTimeoutMs);
}

TEST_P(HartIpLinkTest, AnIdleSessionIsKeptAliveOrOpenedAgainByTheNextRequest) {
    for (const bool keepAlive : {true, false}) {
        SCOPED_TRACE(keepAlive ? "keep-alive" : "no keep-alive");
        // Given a gateway that ends a session after 300 ms without traffic
        sim::SimHartIpOptions options;
        options.maxInactivityTimerMs = 300;
        Gateway gateway(options);
        std::ostringstream out;
        HeadlessConnection::Options o = ConnectionTo(gateway.Url(GetParam()));
        o.hartIp.keepAlive = keepAlive;
        HeadlessConnection connection(o, out, [] { return false; });
        ASSERT_TRUE(connection.Connect(0).ok);
        // When nothing is sent for a second (a question box is open)
        connection.Worker().SetPause(true);
        std::this_thread::sleep_for(1s);
        connection.Worker().SetPause(false);
        // Then the polls go on without a failure
        int polls = 0;
        const ConnectionOutcome monitored = connection.Monitor([&](int result) {
            EXPECT_EQ(result, kCommSuccess);
            return ++polls < 3;
        });
        EXPECT_TRUE(monitored.ok) << monitored.error;
        if (keepAlive) {
            EXPECT_GT(gateway.server.KeepAlives(), 0u);
            EXPECT_EQ(gateway.server.SessionsExpired(), 0u);
            EXPECT_EQ(gateway.server.SessionsOpened(), 1u);
        } else {
            EXPECT_EQ(gateway.server.SessionsExpired(), 1u);
            EXPECT_EQ(gateway.server.SessionsOpened(), 2u);
        }
    }
}

// The window's connection logic over a gateway, its questions scripted.
struct WindowOverGateway : LinkParts {
    explicit WindowOverGateway(const std::string& url) { controller.SetPortName(url); }
    ~WindowOverGateway() { worker.StopWorker(); }

    bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            if (auto next = queue.WaitNext(20)) {
                if (next->notification.Completes(watched)) {
                    results.push_back(next->notification.result);
                }
                controller.HandleNotification(next->notification);
            }
        }
        return true;
    }

    SteadyClock realClock;
    NotificationQueue queue;
    ScriptedPrompts prompts;
    test::RecordingView view;
    Station station{{realClock, serialPort, trace, queue, prompts, view, LinkTiming::Fast()}};
    DataLink& link = station.Link();
    CommWorker& worker = station.Worker();
    ConnectionController& controller = station.Controller();
    WorkerRequest watched = WorkerRequest::IdlePoll;
    std::vector<int> results;
};

TEST_P(HartIpLinkTest, TheWindowsRetryStartsAFreshSessionAndABusyDeviceIsToldInWords) {
    Gateway gateway;
    WindowOverGateway window(gateway.Url(GetParam()));
    HartIpClientOptions o;
    o.answerTimeoutMs = 150;
    window.station.SetHartIpOptions(o);
    ASSERT_EQ(window.controller.ConnectDevice(), kCommSuccess);
    ASSERT_TRUE(window.PumpUntil([&] { return window.view.established; }));
    EXPECT_EQ(gateway.server.SessionsOpened(), 1u);

    // A damping write the device never answers: the automatic repeat, then the question.
    gateway.server.Locked([&] {
        gateway.device.Faults().onlyCommand = 34;
        gateway.device.Faults().dropAnswer.remaining = 8;
    });
    window.prompts.QueueAnswer(Answer::Retry);
    window.watched = WorkerRequest::WriteDamping;
    window.worker.WithSession([](DeviceState& s) { s.writes.dampingText = "7"; });
    ASSERT_EQ(window.worker.SubmitRequest(WorkerRequest::WriteDamping, true), kCommSuccess);
    ASSERT_TRUE(window.PumpUntil([&] { return !window.results.empty(); }));
    EXPECT_EQ(window.results.back(), kCommSuccess);
    ASSERT_EQ(window.prompts.Messages().size(), 1u);
    EXPECT_EQ(window.prompts.Messages()[0].key, "Err_HartIp_No_Answer");
    // Retry went on a session of its own, the old one closed with the gateway.
    EXPECT_GE(gateway.server.SessionsOpened(), 2u);
    EXPECT_EQ(gateway.server.SessionsOpen(), 1u);

    // A device that stays busy is named as such, not as silent.
    gateway.server.Locked([&] {
        gateway.device.Faults() = {};
        gateway.device.Faults().responseCodeFor[34] = 32;
    });
    window.prompts.QueueAnswer(Answer::Cancel);
    window.results.clear();
    ASSERT_EQ(window.worker.SubmitRequest(WorkerRequest::WriteDamping, true), kCommSuccess);
    ASSERT_TRUE(window.PumpUntil([&] { return !window.results.empty(); }));
    EXPECT_EQ(window.results.back(), kCommExchangeFailed);
    ASSERT_EQ(window.prompts.Messages().size(), 2u);
    EXPECT_EQ(window.prompts.Messages()[1].key, "Err_Device_Busy");
}

}  // namespace
}  // namespace qt40
