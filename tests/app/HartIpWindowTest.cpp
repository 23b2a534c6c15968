// The real main window, offscreen, connected through a HART-IP gateway: the
// simulator's server on the loopback, its URL typed into the port box.

#include "tests/app/AppFixture.h"

#include <QLineEdit>

#include "resources/CAppSettings.h"
#include "sim/SimHartIpServer.h"
#include "traffic/ExchangeRecorder.h"

namespace qt40 {
namespace {

class HartIpWindowTest : public AppFixture {
protected:
    void TearDown() override {
        AppFixture::TearDown();
        gateway_.reset();
    }

    void StartGateway(sim::SimHartIpOptions options = {}) {
        options.port = 0;
        gateway_ = std::make_unique<sim::SimHartIpServer>(sim::DeviceResponder(device_), options);
        ASSERT_TRUE(gateway_->Start()) << gateway_->LastError();
    }

    // The window with no serial port listed; `timeout` goes into the settings store.
    void StartWindow(const std::string& timeout = {}) {
        if (!timeout.empty()) {
            CAppSettings settings(dir_.filePath("settings.ini"));
            settings.Load(false);
            settings.hartIpTimeout = timeout;
            ASSERT_TRUE(settings.Save());
        }
        AppOptions options;
        options.settingsFile = dir_.filePath("settings.ini");
        options.japaneseLocale = false;
        options.prompts = &prompts_;
        options.portSource = [] { return std::vector<PortEntry>{}; };
        options.timing = LinkTiming::Fast();
        options.reconnectWaitMs = 0;
        window_ = std::make_unique<CMainDlgDlg>(options);
        window_->show();
    }

    void Type(const std::string& port) {
        window_->OpenPanel(CFunctionKeys::kConnect);
        QComboBox* box = window_->ConnectPanel()->PortBox();
        box->setEditText(QString::fromStdString(port));
        emit box->lineEdit()->editingFinished();
    }

    std::string Url(HartIpProtocol protocol) const { return gateway_->Endpoint(protocol).Url(); }

    std::string StoredPort() {
        CAppSettings settings(dir_.filePath("settings.ini"));
        settings.Load(false);
        return settings.comPort;
    }

    sim::SimDevice device_;
    std::unique_ptr<sim::SimHartIpServer> gateway_;
};

TEST_F(HartIpWindowTest, ATypedGatewayUrlConnectsUploadsPollsAndIsRemembered) {
    for (const HartIpProtocol protocol : {HartIpProtocol::Tcp, HartIpProtocol::Udp}) {
        SCOPED_TRACE(protocol == HartIpProtocol::Tcp ? "TCP" : "UDP");
        StartGateway();
        StartWindow();
        Type(Url(protocol));
        // The serial line means nothing to a gateway.
        EXPECT_FALSE(window_->ConnectPanel()->LineBox()->isEnabled());
        Child(window_->ConnectPanel(), "connect")->click();
        ASSERT_TRUE(WaitFor([&] { return Connected(); }));
        ASSERT_TRUE(WaitForPolls(2));
        EXPECT_EQ(window_->Worker().RecordSnapshot().tag,
                  gateway_->Locked([&] { return device_.State().tag; }));
        EXPECT_TRUE(prompts_.Messages().empty());
        EXPECT_EQ(StoredPort(), Url(protocol));

        // The record holds the messages as they went, tagged with their transport.
        // The session's initiate comes first, a record of its own; then the
        // exchanges.
        const auto all = window_->Traffic().All();
        ASSERT_GE(all.size(), 20u);
        EXPECT_TRUE(all.front()->sessionMessage);
        const auto firstExchange = std::find_if(all.begin(), all.end(),
                                                [](const auto& e) { return !e->sessionMessage; });
        ASSERT_NE(firstExchange, all.end());
        const traffic::Exchange& first = **firstExchange;
        EXPECT_EQ(first.transport, protocol == HartIpProtocol::Tcp ? traffic::Transport::HartIpTcp
                                                                   : traffic::Transport::HartIpUdp);
        EXPECT_EQ(first.requestPreambles, 0);
        ASSERT_GT(first.requestMessage.size(), 8u);
        EXPECT_EQ(first.requestMessage[0], 1);  // version
        EXPECT_EQ(std::vector<std::uint8_t>(first.requestMessage.begin() + 8, first.requestMessage.end()),
                  first.request);
        ASSERT_GT(first.answerMessage.size(), 8u);
        EXPECT_EQ(first.answerMessage[1], 1);  // response

        // Started again, the window offers the gateway it was given, once the
        // port list (empty here) is in.
        window_->Connection().StopConnection();
        window_.reset();
        StartWindow();
        window_->OpenPanel(CFunctionKeys::kConnect);
        EXPECT_TRUE(WaitFor([&] {
            return window_->ConnectPanel()->PortBox()->currentText().toStdString() == Url(protocol);
        }));
        EXPECT_FALSE(window_->ConnectPanel()->LineBox()->isEnabled());
        window_.reset();
        gateway_.reset();
    }
}

TEST_F(HartIpWindowTest, TheAnswerTimeOutComesFromTheSettings) {
    StartGateway();
    StartWindow("700");
    EXPECT_EQ(window_->Stack().HartIpOptions().answerTimeoutMs, 700);
    EXPECT_TRUE(prompts_.Messages().empty());
    window_.reset();
    // A value out of range is not replaced in silence: the user is told, once.
    prompts_.QueueAnswer(Answer::Ok);
    StartWindow("fast");
    EXPECT_EQ(window_->Stack().HartIpOptions().answerTimeoutMs, 3000);
    ASSERT_EQ(prompts_.Messages().size(), 1u);
    EXPECT_EQ(prompts_.Messages()[0].key, "Err_Setting_HartIp_Timeout");
    EXPECT_EQ(DescribeArgs(prompts_.Messages()[0].args), DescribeArgs({std::string("fast"), 3000LL}));
}

TEST_F(HartIpWindowTest, ARefusedSessionIsSaidInWordsAndCancelLeavesItUnconnected) {
    sim::SimHartIpOptions options;
    options.refuseSessions = kHartIpNoSessionAvailable;
    StartGateway(options);
    StartWindow();
    Type(Url(HartIpProtocol::Tcp));
    prompts_.QueueAnswers({Answer::Retry, Answer::Cancel});
    Child(window_->ConnectPanel(), "connect")->click();
    ASSERT_TRUE(WaitFor([&] { return prompts_.Messages().size() == 2; }));
    for (const auto& asked : prompts_.Messages()) {
        EXPECT_EQ(asked.key, "Err_HartIp_Session_Busy");
        EXPECT_EQ(DescribeArgs(asked.args), DescribeArgs({Url(HartIpProtocol::Tcp)}));
    }
    EXPECT_FALSE(window_->Connection().Connected());
    EXPECT_EQ(gateway_->SessionsOpened(), 0u);
}

TEST_F(HartIpWindowTest, AGatewayGoneIsNamedAndRetryConnectsOnceItIsBack) {
    StartGateway();
    StartWindow();
    Type(Url(HartIpProtocol::Tcp));
    Child(window_->ConnectPanel(), "connect")->click();
    ASSERT_TRUE(WaitFor([&] { return Connected(); }));
    const std::uint16_t port = gateway_->Port();
    // The gateway goes away; it is back by the time the user answers Retry.
    prompts_.onMessage = [&] {
        sim::SimHartIpOptions options;
        options.port = port;
        gateway_ = std::make_unique<sim::SimHartIpServer>(sim::DeviceResponder(device_), options);
        ASSERT_TRUE(gateway_->Start()) << gateway_->LastError();
    };
    prompts_.QueueAnswer(Answer::Retry);
    gateway_->Stop();
    ASSERT_TRUE(WaitFor([&] { return prompts_.Messages().size() == 1; }));
    // Lost under a request, or refused when the link tried to connect again.
    const std::string key = prompts_.Messages()[0].key;
    EXPECT_TRUE(key == "Err_HartIp_Lost" || key == "Err_HartIp_Refused") << key;
    ASSERT_TRUE(WaitForPolls(2));
    EXPECT_TRUE(window_->Connection().Connected());
    EXPECT_EQ(gateway_->SessionsOpened(), 1u);
}

}  // namespace
}  // namespace qt40
