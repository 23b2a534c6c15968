// The command-line tool through a HART-IP gateway: `qt40cfg-cli sim --hartip`
// as a program of its own, or its server in process where a test needs the
// gateway to misbehave, on real loopback sockets.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/CliApp.h"
#include "files/CFilePropertyReadWrite.h"
#include "hart/HartFrame.h"
#include "sim/SimHartIpServer.h"
#include "sim/SimIoSystem.h"
#include "sim/SimMultidrop.h"
#include "sim/SimPtyServer.h"
#include "tests/cli/CliRun.h"
#include "tests/cli/SimProcess.h"
#include "tests/traffic/Tshark.h"
#include "transport/HartIpClient.h"

namespace qt40::cli {
namespace {

using test::RunResult;
// The gateway's answers come within their own time-out, not the link's.
RunResult RunCli(const std::vector<std::string>& args) {
    return test::RunCli(args, LinkTiming::Fast());
}
using test::Contains;
using test::Lines;
using test::Slurp;

using namespace std::chrono_literals;

std::size_t LineCount(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// `qt40cfg-cli sim --hartip 0 ...` as its own process, with its two URLs.
struct SimProcess : test::SimProcess {
    explicit SimProcess(const std::vector<std::string>& extra = {})
        : test::SimProcess(WithHartIp(extra), 2) {
        if (printed.size() == 2) urls = {printed[0], printed[1]};
    }
    bool Running() const { return Started(); }
    std::vector<std::string> urls{"", ""};  // TCP, then UDP

    static std::vector<std::string> WithHartIp(const std::vector<std::string>& extra) {
        std::vector<std::string> args{"--hartip", "0"};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
};

class HartIpCommandsTest : public ::testing::Test {
protected:
    std::string Path(const char* name) { return dir.filePath(name).toStdString(); }
    QTemporaryDir dir;
};

TEST_F(HartIpCommandsTest, UploadDownloadAndCompareOverTcpAndUdp) {
    SimProcess sim;
    ASSERT_TRUE(sim.Running());
    const char* ranges[] = {"150.000", "175.000"};
    for (int i = 0; i < 2; ++i) {
        const std::string& url = sim.urls[i];
        SCOPED_TRACE(url);
        const std::string file = Path(i == 0 ? "tcp.txt" : "udp.txt");
        const auto up = RunCli({"upload", "--port", url, "--out", file});
        ASSERT_EQ(up.code, kExitOk) << up.err;
        EXPECT_TRUE(Contains(up.out, "tag: TT-101")) << up.out;

        CFilePropertyReadWrite read;
        ASSERT_TRUE(read.Read(file).ok());
        FileConfig config = read.Values();
        config.pvUpperRange = ranges[i];
        ASSERT_TRUE(SaveConfigFile(file, config).ok());
        const auto download = RunCli({"download", "--port", url, "--in", file});
        ASSERT_EQ(download.code, kExitOk) << download.err << download.out;
        EXPECT_EQ(LineCount(download.err), 18u) << download.err;  // one line a step

        const auto compare = RunCli({"compare", "--port", url, "--in", file});
        EXPECT_EQ(compare.code, kExitOk) << compare.err << compare.out;
        const auto again = RunCli({"upload", "--port", url});
        EXPECT_TRUE(Contains(again.out, std::string("upperRange: ") + (i == 0 ? "150\n" : "175\n")))
            << again.out;
    }
}

TEST_F(HartIpCommandsTest, AGatewayLostMidUploadIsSaidWithinTheTimeOutAndWritesNoFile) {
    for (int i = 0; i < 2; ++i) {
        // A gateway that takes 50 ms a request, so the upload is half-way after 0.3 s.
        SimProcess sim({"--latency", "50"});
        ASSERT_TRUE(sim.Running());
        const std::string url = sim.urls[i];
        SCOPED_TRACE(url);
        const std::string file = Path("half.txt");
        auto upload = std::async(std::launch::async, [&] {
            return RunCli({"upload", "--port", url, "--out", file, "--hartip-timeout", "1500"});
        });
        std::this_thread::sleep_for(300ms);
        const auto lost = std::chrono::steady_clock::now();
        sim.Kill();
        // The answer time-out and a second, at the most: never four tries of it.
        ASSERT_EQ(upload.wait_for(2500ms), std::future_status::ready) << "still waiting";
        EXPECT_LT(std::chrono::steady_clock::now() - lost, 1500ms + 1s);
        const RunResult r = upload.get();
        EXPECT_EQ(r.code, kExitFailed);
        EXPECT_EQ(LineCount(r.err), 1u) << r.err;
        // TCP sees the connection end; UDP learns from the next datagram that nobody listens.
        EXPECT_TRUE(Contains(r.err, "The connection to " + url + " was lost") ||
                    Contains(r.err, url + " refused the connection"))
            << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_FALSE(std::filesystem::exists(file));
        EXPECT_TRUE(std::filesystem::is_empty(dir.path().toStdString()));
    }
}

TEST_F(HartIpCommandsTest, ARefusedSessionOrConnectionIsOneLineInWords) {
    sim::SimDevice device;
    sim::SimHartIpOptions options;
    options.port = 0;
    options.refuseSessions = kHartIpNoSessionAvailable;
    sim::SimHartIpServer full(sim::DeviceResponder(device), options);
    ASSERT_TRUE(full.Start()) << full.LastError();
    for (const HartIpProtocol protocol : {HartIpProtocol::Tcp, HartIpProtocol::Udp}) {
        const std::string url = full.Endpoint(protocol).Url();
        const auto r = RunCli({"identify", "--port", url});
        EXPECT_EQ(r.code, kExitFailed);
        EXPECT_EQ(r.err, "qt40cfg-cli: " + url +
                             " refused the HART-IP session: all its sessions are in use. Close "
                             "another program's connection to the gateway, or wait until the "
                             "gateway ends an idle one, then retry.\n");
    }

    // Nobody serves the port any more.
    sim::SimHartIpServer gone(sim::DeviceResponder(device), [] {
        sim::SimHartIpOptions o;
        o.port = 0;
        return o;
    }());
    ASSERT_TRUE(gone.Start());
    const std::string url = gone.Endpoint(HartIpProtocol::Tcp).Url();
    gone.Stop();
    const auto r = RunCli({"upload", "--port", url});
    EXPECT_EQ(r.code, kExitFailed);
    EXPECT_EQ(LineCount(r.err), 1u) << r.err;
    EXPECT_TRUE(Contains(r.err, url + " refused the connection. Check that the gateway")) << r.err;
}

TEST_F(HartIpCommandsTest, TheAnswerTimeOutOptionReachesTheGateway) {
    sim::SimDevice device;
    sim::SimHartIpOptions options;
    options.port = 0;
    options.latencyMs = 300;
    sim::SimHartIpServer slow(sim::DeviceResponder(device), options);
    ASSERT_TRUE(slow.Start()) << slow.LastError();
    const std::string url = slow.Endpoint(HartIpProtocol::Tcp).Url();

    const auto hurried = RunCli({"identify", "--port", url, "--hartip-timeout", "100"});
    EXPECT_EQ(hurried.code, kExitFailed);
    EXPECT_TRUE(Contains(hurried.err, "no answer from a device at address 0 on " + url +
                                          ": No answer from " + url + " within 100 ms."))
        << hurried.err;
    EXPECT_EQ(RunCli({"identify", "--port", url}).code, kExitOk);
    // Out of range is a wrong command line.
    EXPECT_EQ(RunCli({"identify", "--port", url, "--hartip-timeout", "99"}).code, kExitUsage);
}

TEST_F(HartIpCommandsTest, AnUploadCaptureHoldsTheMessagesAsTheyWentCleanForTshark) {
    ASSERT_TRUE(traffic::test::TsharkInstalled()) << "tshark is missing: ./dev test installs it";
    using traffic::test::Tshark;
    SimProcess sim;
    ASSERT_TRUE(sim.Running());
    // Command 0 twice (the frame check, then the identity), then the upload list.
    const std::vector<std::string> upload = {"0",   "0",   "130", "14", "15",  "147", "132",
                                             "134", "141", "3",   "16", "139", "145", "154",
                                             "12",  "137", "150", "13", "143"};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(sim.urls[i]);
        const std::string capture = Path(i == 0 ? "tcp.pcapng" : "udp.pcapng");
        const auto r = RunCli({"upload", "--port", sim.urls[i], "--capture", capture});
        ASSERT_EQ(r.code, kExitOk) << r.err;

        EXPECT_EQ(Tshark(capture, traffic::test::kFaultFilter), "");
        EXPECT_EQ(
            Tshark(capture, "-Y '(tcp.len > 0 || udp) && !hart_ip' -T fields -e frame.number"), "");
        // Over the protocol the upload used.
        const std::string other = i == 0 ? "udp" : "tcp";
        EXPECT_EQ(Tshark(capture, "-Y '" + other + "' -T fields -e frame.number"), "");
        const auto field = [&](const std::string& filter, const std::string& name) {
            return Lines(Tshark(capture, "-Y '" + filter + "' -T fields -e " + name));
        };
        // Requests and answers, the commands in the order sent, each answer
        // with its request's sequence number: the messages as they went.
        // (The session's own messages are there too, around them.)
        std::vector<std::string> requests =
            field("hart_ip.message_id == 3 && hart_ip.message_type == 0", "hart_ip.pt.command");
        std::vector<std::string> answers =
            field("hart_ip.message_id == 3 && hart_ip.message_type == 1", "hart_ip.pt.command");
        ASSERT_GE(requests.size(), upload.size());
        requests.resize(upload.size());
        answers.resize(upload.size());
        EXPECT_EQ(requests, upload);
        EXPECT_EQ(answers, upload);
        EXPECT_EQ(field("hart_ip.message_type == 0", "hart_ip.sequence_number"),
                  field("hart_ip.message_type == 1", "hart_ip.sequence_number"));

        const auto decoded = RunCli({"decode", capture});
        ASSERT_EQ(decoded.code, kExitOk) << decoded.err;
        EXPECT_TRUE(Contains(decoded.out, i == 0 ? "over HART-IP TCP with " + sim.urls[i]
                                                 : "over HART-IP UDP with " + sim.urls[i]))
            << decoded.out;
        // The session opened and closed around the upload, counted apart.
        EXPECT_TRUE(Contains(decoded.out, "# 19 exchanges and ")) << decoded.out;
        EXPECT_TRUE(Contains(decoded.out, "\nHART-IP session initiate request: sent\n"))
            << decoded.out;
        EXPECT_TRUE(Contains(decoded.out, "\nHART-IP session close response: success\n"))
            << decoded.out;
    }
}

TEST_F(HartIpCommandsTest, AFleetOfGatewaysBesideASerialLoopIsScannedAndBackedUp) {
    // A multidrop loop on a pseudo-terminal, two gateways with two QT40s each
    // (one reached over TCP, one over UDP), and a gateway that is switched off.
    sim::SimMultidrop serialLoop = sim::SimMultidrop::Plant(2, 1000);
    sim::SimPtyServer serial(serialLoop.Responder());
    ASSERT_TRUE(serial.Start()) << serial.LastError();
    SimProcess tcpGateway({"--devices", "2", "--device-id", "5000"});
    SimProcess udpGateway({"--devices", "2", "--device-id", "6000"});
    ASSERT_TRUE(tcpGateway.Running() && udpGateway.Running());
    std::string off;
    {
        SimProcess switchedOff;
        off = switchedOff.urls[0];
    }
    const std::string tcp = tcpGateway.urls[0];
    const std::string udp = udpGateway.urls[1];
    const std::string targets = Path("targets.txt");
    std::ofstream(targets, std::ios::binary) << serial.SlavePath() << " 1-2\n"
                                             << tcp << " 1-2\n"
                                             << udp << " 1-2   # over UDP\n"
                                             << off << " 0\n";

    const auto scan = RunCli({"fleet", "scan", "--targets", targets, "--jobs", "4"});
    EXPECT_EQ(scan.code, kExitFailed) << scan.err;
    EXPECT_EQ(Lines(scan.out), (std::vector<std::string>{
                                   serial.SlavePath() + "\t1\tTT-101\t1000\tQT40\t0x00",
                                   serial.SlavePath() + "\t2\tTT-102\t1001\tQT40\t0x00",
                                   tcp + "\t1\tTT-101\t5000\tQT40\t0x00",
                                   tcp + "\t2\tTT-102\t5001\tQT40\t0x00",
                                   udp + "\t1\tTT-101\t6000\tQT40\t0x00",
                                   udp + "\t2\tTT-102\t6001\tQT40\t0x00",
                               }))
        << scan.out << scan.err;
    EXPECT_TRUE(Contains(scan.err, "qt40cfg-cli: " + off + ": " + off + " refused the connection"))
        << scan.err;
    EXPECT_EQ(Lines(scan.err).back(), "4 of 4 endpoints, 6 devices, 1 failed");

    const std::string backup = Path("backup");
    const auto saved = RunCli({"fleet", "backup", "--targets", targets, "--out", backup});
    EXPECT_EQ(saved.code, kExitFailed) << saved.err;
    struct Expected {
        std::string port;
        int address;
        std::string file;
    };
    const std::vector<Expected> expected = {{tcp, 1, "TT-101_5000.txt"},
                                            {tcp, 2, "TT-102_5001.txt"},
                                            {udp, 1, "TT-101_6000.txt"},
                                            {udp, 2, "TT-102_6001.txt"},
                                            {serial.SlavePath(), 2, "TT-102_1001.txt"}};
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.file);
        const std::string single = Path("single.txt");
        const auto up = RunCli(
            {"upload", "--port", e.port, "--address", std::to_string(e.address), "--out", single});
        ASSERT_EQ(up.code, kExitOk) << up.err;
        EXPECT_EQ(Slurp(std::filesystem::path(backup) / e.file), Slurp(single));
    }
    const std::string index = Slurp(std::filesystem::path(backup) / "index.csv");
    EXPECT_TRUE(Contains(index, "\r\n" + tcp + ",1,TT-101,5000,TT-101_5000.txt,")) << index;
    EXPECT_TRUE(Contains(index, "\r\n" + off + ",,,,,")) << index;
}

// Two gateways served side by side, traced: every line whole, named by its
// endpoint and the address being worked on; decoded unless hex is asked for.
TEST_F(HartIpCommandsTest, AFleetTraceNamesTheEndpointOfEveryWholeLine) {
    SimProcess first({"--devices", "2", "--device-id", "5000"});
    SimProcess second({"--devices", "2", "--device-id", "6000"});
    ASSERT_TRUE(first.Running() && second.Running());
    const std::vector<std::string> endpoints{first.urls[0], second.urls[1]};
    const std::string targets = Path("traced.txt");
    std::ofstream(targets, std::ios::binary) << endpoints[0] << " 1-2\n"
                                             << endpoints[1] << " 1-2\n";

    struct Mode {
        const char* option;
        std::vector<std::string> starts;  // what a line may start with after its name
        const char* identify;             // a line each address must have
    };
    const Mode modes[] = {
        {"--trace", {"TX #", "RX #"}, "cmd 0 Read unique identifier"},
        {"--trace=hex", {"TX: ", "RX: ", "HART-IP: "}, "TX: "},
    };
    for (const Mode& mode : modes) {
        SCOPED_TRACE(mode.option);
        const auto r = RunCli({"fleet", "scan", "--targets", targets, "--jobs", "2", mode.option});
        ASSERT_EQ(r.code, kExitOk) << r.err;
        std::map<std::string, int> byName;
        for (const std::string& line : Lines(r.err)) {
            if (Contains(line, " endpoints, ")) continue;  // the progress
            bool named = false;
            for (const std::string& endpoint : endpoints) {
                for (const char* address : {"1", "2"}) {
                    const std::string name = endpoint + " address " + address + ": ";
                    if (line.rfind(name, 0) != 0) continue;
                    const std::string rest = line.substr(name.size());
                    named =
                        std::any_of(mode.starts.begin(), mode.starts.end(),
                                    [&](const std::string& s) { return rest.rfind(s, 0) == 0; });
                    if (named && Contains(rest, mode.identify)) ++byName[name];
                }
            }
            EXPECT_TRUE(named) << "torn or unnamed: " << line;
        }
        for (const std::string& endpoint : endpoints) {
            for (const char* address : {"1", "2"}) {
                EXPECT_GE(byName[endpoint + " address " + address + ": "], 1)
                    << endpoint << " " << address;
            }
        }
        if (std::string(mode.option) == "--trace") {
            // The session is traced too, and the device at 2 is asked at 2.
            EXPECT_TRUE(Contains(
                r.err, endpoints[1] + " address 1: TX #1: HART-IP session initiate request"))
                << r.err;
            EXPECT_TRUE(Contains(r.err, " address 2: TX #")) << r.err;
            EXPECT_TRUE(Contains(r.err, "try 1 to 2: cmd 0 Read unique identifier")) << r.err;
        }
    }
}

TEST_F(HartIpCommandsTest, BusyAndDelayedAnswersEndWithEveryRowWrittenAndEveryValueRead) {
    // Given a gateway whose device answers every request "delayed response"
    // (carrying a write out at once), then "running", and now and then "busy"
    SimProcess sim({"--fault", "delayed:*=1", "--fault", "busy@4"});
    ASSERT_TRUE(sim.Running());
    const char* ranges[] = {"140.000", "165.000"};
    for (int i = 0; i < 2; ++i) {
        const std::string& url = sim.urls[i];
        SCOPED_TRACE(url);
        const std::string file = Path("delayed.txt");
        const auto up = RunCli({"upload", "--port", url, "--out", file});
        ASSERT_EQ(up.code, kExitOk) << up.err;
        EXPECT_TRUE(Contains(up.out, "tag: TT-101")) << up.out;
        CFilePropertyReadWrite read;
        ASSERT_TRUE(read.Read(file).ok());
        FileConfig config = read.Values();
        config.pvUpperRange = ranges[i];
        ASSERT_TRUE(SaveConfigFile(file, config).ok());
        // Then the download writes every row and says so
        const auto download = RunCli({"download", "--port", url, "--in", file});
        ASSERT_EQ(download.code, kExitOk) << download.err << download.out;
        EXPECT_EQ(LineCount(download.err), 18u) << download.err;
        EXPECT_EQ(RunCli({"compare", "--port", url, "--in", file}).code, kExitOk);
        const auto again = RunCli({"upload", "--port", url});
        EXPECT_TRUE(Contains(again.out, std::string("upperRange: ") + (i == 0 ? "140\n" : "165\n")))
            << again.out;
    }
}

TEST_F(HartIpCommandsTest, ADeviceThatStaysBusyFailsInWordsNeverAsDone) {
    SimProcess sim({"--fault", "code:41=32"});
    ASSERT_TRUE(sim.Running());
    for (const std::string& url : sim.urls) {
        SCOPED_TRACE(url);
        const auto r = RunCli({"self-test", "--port", url, "--hartip-timeout", "100"});
        EXPECT_EQ(r.code, kExitFailed) << r.out;
        EXPECT_FALSE(Contains(r.out, "self test done")) << r.out;
        EXPECT_EQ(LineCount(r.err), 1u) << r.err;
        EXPECT_TRUE(Contains(r.err, "The device on " + url + " stayed busy for 1 s")) << r.err;
        EXPECT_TRUE(Contains(r.err, "last answer: response code 32, busy")) << r.err;
    }
}

TEST_F(HartIpCommandsTest, AFloodingGatewayHoldsNoCommandPastItsTimeOut) {
    // A gateway that sends publish messages without end, for a device that
    // answers nothing at address 1.
    SimProcess sim({"--gateway", "publish:5000"});
    ASSERT_TRUE(sim.Running());
    for (const std::string& url : sim.urls) {
        SCOPED_TRACE(url);
        EXPECT_EQ(RunCli({"upload", "--port", url}).code, kExitOk);
        const auto start = std::chrono::steady_clock::now();
        const auto r =
            RunCli({"identify", "--port", url, "--address", "1", "--hartip-timeout", "300"});
        // Four tries of 300 ms, and a generous second for the rest.
        EXPECT_LT(std::chrono::steady_clock::now() - start, 4 * 300ms + 1500ms);
        EXPECT_EQ(r.code, kExitFailed);
        EXPECT_TRUE(Contains(r.err, "no answer from a device at address 1")) << r.err;
    }
}

TEST_F(HartIpCommandsTest, HartIpMistakesAreToldForWhatTheyAre) {
    SimProcess secured({"--gateway", "v2-only"});
    SimProcess silent({"--gateway", "v2-only:silent"});
    ASSERT_TRUE(secured.Running());
    ASSERT_TRUE(silent.Running());
    struct Row {
        std::vector<std::string> args;
        int code;
        std::string words;
    };
    const std::vector<Row> rows = {
        {{"identify", "--port", secured.urls[0]},
         kExitFailed,
         secured.urls[0] + " speaks only the secured HART-IP version 2 (TLS), not version 1."},
        {{"identify", "--port", secured.urls[1]}, kExitFailed, "secured HART-IP version 2 (TLS)"},
        {{"identify", "--port", silent.urls[0], "--hartip-timeout", "200"},
         kExitFailed,
         "never answered the HART-IP version 1 session request within 200 ms: it may speak only "
         "the secured HART-IP version 2"},
        {{"identify", "--port", silent.urls[1], "--hartip-timeout", "200"},
         kExitFailed,
         "it may speak only the secured HART-IP version 2"},
        {{"identify", "--port", "hartip://admin@127.0.0.1"},
         kExitFailed,
         "a user name (\"admin@\") is not allowed in a HART-IP address"},
        {{"identify", "--port", "hartip://127.0.0.1:70000"},
         kExitFailed,
         "the port \"70000\" must be a number from 1 to 65535"},
        {{"identify", "--port", "hartip://127.0.0.1/gateway"}, kExitFailed, "a path or query"},
        {{"identify", "--port", secured.urls[0], "--hartip-timeout", "0x100"},
         kExitUsage,
         "--hartip-timeout"},
        {{"identify", "--port", secured.urls[0], "--hartip-timeout", "1e3"},
         kExitUsage,
         "decimal digits"},
        {{"sim", "--hartip", "0", "--gateway", "melt"}, kExitUsage, "unknown gateway switch"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.args[2]);
        const auto r = RunCli(row.args);
        EXPECT_EQ(r.code, row.code) << r.err;
        EXPECT_EQ(LineCount(r.err), 1u) << r.err;
        EXPECT_TRUE(Contains(r.err, row.words)) << r.err;
        EXPECT_FALSE(Contains(r.err, "was lost")) << r.err;
    }
}

// `sim --hartip --io-system` as a technician starts it: the I/O system's own
// answers, and a request to a QT40 behind it carried through delayed responses
// on the steady clock.
TEST_F(HartIpCommandsTest, TheSimulatorPlaysAnIoSystem) {
    SimProcess sim({"--io-system", "2x4", "--devices", "2", "--io-channel", "1/3=empty",
                    "--io-channel", "0/1=KX3", "--io-delayed", "3"});
    ASSERT_TRUE(sim.Running());
    HartIpClient client;
    ASSERT_EQ(client.Open(sim.urls[1]), kCommSuccess) << client.LastError();
    const auto own = sim::SimIoSystem::LongAddress();
    const std::vector<std::uint8_t> address{static_cast<std::uint8_t>(own[0] | 0x80), own[1],
                                            own[2], own[3], own[4]};
    auto ask = [&](std::uint8_t command,
                   const std::vector<std::uint8_t>& data) -> std::vector<std::uint8_t> {
        const auto request =
            HartFrame::Make(FrameKind::Request, address, command, data).value().Bytes();
        EXPECT_TRUE(client.Send(request).sent);
        std::vector<std::uint8_t> buffer(kMaxFrameSize);
        const ReceiveResult got = client.Receive(buffer, 3000);
        if (got.end != ReceiveEnd::Answer) return {};
        const ParsedFrame answer = HartFrame::Parse(std::span(buffer.data(), got.size));
        std::vector<std::uint8_t> codeAndPayload{answer.frame.ResponseCode().value_or(0xFF)};
        codeAndPayload.insert(codeAndPayload.end(), answer.frame.Payload().begin(),
                              answer.frame.Payload().end());
        return codeAndPayload;
    };
    // Two cards of four channels, two devices a channel, 14 QT40s and KX3s and
    // itself, three delayed responses at once.
    EXPECT_EQ(ask(74, {}), (std::vector<std::uint8_t>{0, 2, 4, 2, 0, 15, 3, 1, 2}));
    const auto third = ask(84, {0, 3});
    ASSERT_EQ(third.size(), 49u);
    EXPECT_EQ(std::vector<std::uint8_t>(third.begin() + 3, third.begin() + 9),
              (std::vector<std::uint8_t>{0, 1, 0, 0x3E, 0x3E, 0x03}));
    // Command 0 to polling address 1 on card 1, channel 2: 33, 34 while the
    // loop works, then the answer.
    const std::vector<std::uint8_t> wrapped{1, 2, 5, 0x02, 0x81, 0x00, 0x00};
    std::vector<int> codes;
    std::vector<std::uint8_t> answer;
    for (int i = 0; i < 50 && (codes.empty() || codes.back() != 0); ++i) {
        if (i > 0) std::this_thread::sleep_for(100ms);
        answer = ask(77, wrapped);
        ASSERT_FALSE(answer.empty());
        codes.push_back(answer[0]);
    }
    ASSERT_GE(codes.size(), 3u);
    EXPECT_EQ(codes.front(), 33);
    EXPECT_EQ(codes[1], 34);
    ASSERT_EQ(codes.back(), 0);
    EXPECT_EQ(answer[1], 1);  // card
    EXPECT_EQ(answer[2], 2);  // channel
    EXPECT_EQ(std::vector<std::uint8_t>(answer.end() - 3, answer.end()),
              (std::vector<std::uint8_t>{0x40, 0x10, 0x81}));  // its device ID
    client.Close();
    EXPECT_EQ(WEXITSTATUS(sim.Terminate()), kExitOk);

    struct Row {
        std::vector<std::string> args;
        std::string words;
    } rows[] = {
        {{"--io-system", "2x4"}, "--hartip"},
        {{"--hartip", "0", "--io-system", "2by4"}, "--io-system 2by4: expected CARDSxCHANNELS"},
        {{"--hartip", "0", "--io-system", "2x4", "--io-channel", "2/0=empty"},
         "no card 2 (0 to 1)"},
        {{"--hartip", "0", "--io-system", "2x4", "--io-channel", "0/1=QT99"}, "unknown model QT99"},
        {{"--hartip", "0", "--io-system", "2x4", "--fault", "melt"}, "--fault melt"},
        {{"--hartip", "0", "--io-system", "2x4", "--io-delayed", "0"}, "--io-delayed"},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args{"sim"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        SCOPED_TRACE(row.words);
        const auto r = RunCli(args);
        EXPECT_EQ(r.code, kExitUsage) << r.err;
        EXPECT_TRUE(Contains(r.err, row.words)) << r.err;
    }
}

}  // namespace
}  // namespace qt40::cli
