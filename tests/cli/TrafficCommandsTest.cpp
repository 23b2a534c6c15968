// --capture, --trace and decode of the command-line tool against the
// simulator on a pseudo-terminal; the captures judged by tshark, Wireshark's
// own decoder.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/CliApp.h"
#include "hart/CommandSet.h"
#include "hart/Encodings.h"
#include "hart/FrameCodec.h"
#include "hart/DeviceState.h"
#include "sim/SimHartIpServer.h"
#include "sim/SimPtyServer.h"
#include "tests/cli/CliRun.h"
#include "tests/traffic/PcapngBuild.h"
#include "tests/traffic/Tshark.h"
#include "traffic/CaptureReader.h"
#include "traffic/CaptureWriter.h"
#include "traffic/PcapngWriter.h"
#include "transport/HartIpHeader.h"

namespace qt40::cli {
namespace {

using test::RunResult;
using test::RunCli;
using test::Contains;
using test::Lines;


std::vector<std::string> Split(const std::string& line, char separator) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : line) {
        if (c == separator) {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    return parts;
}

using traffic::test::kFaultFilter;
using traffic::test::Tshark;
using traffic::test::TsharkInstalled;

traffic::CaptureContents ReadCapture(const std::string& path) {
    std::string error;
    auto contents = traffic::CaptureReader::ReadFile(path, error);
    EXPECT_TRUE(contents.has_value()) << error;
    return contents ? *contents : traffic::CaptureContents{};
}

// The program's own decode of an answer, as the worker does it.
DeviceState Decoded(const traffic::Exchange& e) {
    DeviceState s;
    EXPECT_TRUE(DecodeResponseFrame(s.link, e.answer));
    EXPECT_TRUE(DecodeAnswer(s, *FindCommand(static_cast<std::uint8_t>(e.Command()))));
    return s;
}

class TrafficCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        server = std::make_unique<sim::SimPtyServer>(sim::SimDevice{});
        ASSERT_TRUE(server->Start()) << server->LastError();
        port = server->SlavePath();
    }
    std::string Path(const std::string& name) const {
        return dir.filePath(QString::fromStdString(name)).toStdString();
    }

    // Every packet decoded as HART-IP, nothing malformed or amiss, the
    // requests' commands in the order the file holds them.
    void ExpectCleanForTshark(const std::string& capture, const traffic::CaptureContents& c) {
        // Every packet that carries bytes (over TCP the handshakes carry none).
        EXPECT_EQ(Lines(Tshark(capture, "-T fields -e frame.number")).size(), c.packets);
        EXPECT_EQ(Tshark(capture, "-Y '(tcp.len > 0 || udp) && !hart_ip' -T fields -e frame.number"), "");
        EXPECT_EQ(Tshark(capture, kFaultFilter), "");
        // (Over HART-IP the session's own messages are there too, apart.)
        std::vector<std::string> ours;
        for (const auto& e : c.exchanges) {
            if (!e.sessionMessage) ours.push_back(std::to_string(e.Command()));
        }
        EXPECT_EQ(Lines(Tshark(capture, "-Y 'hart_ip.message_id == 3 && hart_ip.message_type == 0' "
                                        "-T fields -e hart_ip.pt.command")),
                  ours);
    }

    // Commands 0, 3 and 13 as tshark decodes them against the program's decode
    // of the same answers.
    int CompareIdentityVariablesAndTag(const std::string& capture, const traffic::CaptureContents& c) {
        // Answers in the order they came, both in the file and in tshark's
        // reading (over HART-IP the transaction ID is the session's sequence
        // number, not the exchange's).
        std::vector<const traffic::Exchange*> answered;
        for (const auto& e : c.exchanges) {
            const int command = e.Command();
            if (!e.answer.empty() && (command == 0 || command == 3 || command == 13)) answered.push_back(&e);
        }
        std::size_t next = 0;
        const std::string fields =
            "-T fields -E separator='|' -e hart_ip.transaction_id -e hart_ip.pt.command "
            "-e hart_ip.pt.response_code -e hart_ip.pt.device_status "
            "-e hart_ip.pt.rsp.expanded_device_type -e hart_ip.pt.rsp.req_min_preambles "
            "-e hart_ip.pt.rsp.hart_univ_rev -e hart_ip.pt.rsp.device_rev "
            "-e hart_ip.pt.rsp.software_rev -e hart_ip.pt.rsp.hardrev_and_physical_signal "
            "-e hart_ip.pt.rsp.device_id -e hart_ip.pt.rsp.tag -e hart_ip.pt.rsp.descriptor "
            "-e hart_ip.pt.rsp.day -e hart_ip.pt.rsp.month -e hart_ip.pt.rsp.year "
            "-e hart_ip.pt.payload "
            "-Y 'hart_ip.message_type == 1 && (hart_ip.pt.command == 0 || "
            "hart_ip.pt.command == 3 || hart_ip.pt.command == 13)'";
        int compared = 0;
        for (const std::string& line : Lines(Tshark(capture, fields))) {
            const auto f = Split(line, '|');
            SCOPED_TRACE(line);
            if (f.size() != 17) {
                ADD_FAILURE() << "unexpected tshark line";
                continue;
            }
            if (next == answered.size()) {
                ADD_FAILURE() << "an answer the file does not hold";
                continue;
            }
            const traffic::Exchange& e = *answered[next++];
            EXPECT_EQ(std::stoi(f[1]), e.Command());
            const DeviceState s = Decoded(e);
            const DeviceRecord& r = s.record;
            EXPECT_EQ(std::stoi(f[2]), s.link.responseCode);
            EXPECT_EQ(std::stoi(f[3], nullptr, 16), s.link.deviceStatus);
            const int command = std::stoi(f[1]);
            if (command == 0) {
                // Wireshark reads bytes 1 and 2 as one expanded device type.
                EXPECT_EQ(std::stoi(f[4], nullptr, 16), s.link.longAddress[0] << 8 | s.link.longAddress[1]);
                EXPECT_EQ(f[5], r.preamblesText);
                EXPECT_EQ(f[6], r.universalRevText);
                EXPECT_EQ(f[7], r.transmitterRevText);
                EXPECT_EQ(f[8], r.firmwareRevText);
                EXPECT_EQ(HardwareRevisionText(static_cast<std::uint8_t>(std::stoi(f[9], nullptr, 16))),
                          r.hardwareRevText);
                EXPECT_EQ(std::to_string(std::stoul(f[10], nullptr, 16)), r.deviceIdText);
            } else if (command == 13) {
                EXPECT_EQ(f[11], r.tag);
                EXPECT_EQ(f[12], r.descriptor);
                char date[48];
                std::snprintf(date, sizeof date, "%d/%02d/%02d", std::stoi(f[15]) + 1900,
                              std::stoi(f[14]), std::stoi(f[13]));
                EXPECT_EQ(date, r.date);
            } else {
                // Wireshark 4.0 names the fields of command 3 only for four
                // variables (24 bytes); the QT40 sends two, so it shows the
                // payload, whose numbers must be the ones the program took.
                std::vector<std::uint8_t> payload;
                for (std::size_t i = 0; i + 1 < f[16].size(); i += 2) {
                    payload.push_back(static_cast<std::uint8_t>(std::stoi(f[16].substr(i, 2), nullptr, 16)));
                }
                EXPECT_EQ(payload.size(), 14u);
                if (payload.size() == 14) {
                    EXPECT_EQ(GetFloat(payload.data()), r.loopCurrent);
                    EXPECT_EQ(payload[4], r.pvUnit);
                    EXPECT_EQ(GetFloat(payload.data() + 5), r.pvValue);
                    EXPECT_EQ(payload[9], r.svUnit);
                    EXPECT_EQ(GetFloat(payload.data() + 10), r.svValue);
                }
            }
            ++compared;
        }
        EXPECT_EQ(next, answered.size()) << "answers tshark did not read";
        return compared;
    }

    QTemporaryDir dir;
    std::unique_ptr<sim::SimPtyServer> server;
    std::string port;
};

TEST_F(TrafficCommandsTest, UploadAndTableWriteCapturesAreCleanHartIpForTshark) {
    ASSERT_TRUE(TsharkInstalled()) << "tshark is missing: ./dev test installs it";
    const std::string upload = Path("upload.pcapng");
    const auto r = RunCli({"upload", "--port", port, "--capture", upload});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    const auto uploaded = ReadCapture(upload);
    ExpectCleanForTshark(upload, uploaded);
    // Command 0 twice (the frame check, then the identity), the upload list,
    // then the idle poll.
    const std::vector<int> list = {0, 0, 130, 14, 15, 147, 132, 134, 141, 3, 16, 139, 145, 154, 12, 137, 150, 13, 143};
    ASSERT_GE(uploaded.exchanges.size(), list.size());
    for (std::size_t i = 0; i < uploaded.exchanges.size(); ++i) {
        const int command = uploaded.exchanges[i].Command();
        if (i < list.size()) {
            EXPECT_EQ(command, list[i]) << i;
        } else {
            EXPECT_TRUE(command == 3 || command == 2 || command == 48) << command;
        }
    }
    EXPECT_GE(CompareIdentityVariablesAndTag(upload, uploaded), 4);
    EXPECT_TRUE(Contains(Tshark(upload, "-T fields -e frame.comment -c 1"), "5 preambles removed"));

    std::ofstream(Path("table.txt")) << "Minimum TC Temperature = -10\nStep = 5\n{\n-0.5\n0.25\n1.125\n2.5\n}\n";
    const std::string table = Path("table.pcapng");
    const auto w = RunCli({"table", "write", "--kind", "tc", "--port", port, "--in",
                            Path("table.txt"), "--yes", "--capture", table});
    ASSERT_EQ(w.code, kExitOk) << w.err;
    const auto written = ReadCapture(table);
    ExpectCleanForTshark(table, written);
    EXPECT_GE(CompareIdentityVariablesAndTag(table, written), 4);
    std::vector<int> tableCommands;
    for (const auto& e : written.exchanges) {
        if (e.Command() >= 190) tableCommands.push_back(e.Command());
    }
    ASSERT_GE(tableCommands.size(), 5u);
    EXPECT_EQ(tableCommands[0], 191);  // the header, then the points
    EXPECT_EQ(std::count(tableCommands.begin(), tableCommands.end(), 193), 5);  // 4 and the end marker
}

// The same over HART-IP, TCP and UDP: the messages as they went, the values
// Wireshark reads equal to the program's.
TEST_F(TrafficCommandsTest, HartIpUploadAndTableWriteCapturesAgreeWithTshark) {
    ASSERT_TRUE(TsharkInstalled()) << "tshark is missing: ./dev test installs it";
    sim::SimDevice device;
    sim::SimHartIpOptions options;
    options.port = 0;
    sim::SimHartIpServer gateway(sim::DeviceResponder(device), options);
    ASSERT_TRUE(gateway.Start()) << gateway.LastError();
    std::ofstream(Path("table.txt")) << "Minimum TC Temperature = -10\nStep = 5\n{\n-0.5\n0.25\n1.125\n2.5\n}\n";
    for (const auto protocol : {HartIpProtocol::Tcp, HartIpProtocol::Udp}) {
        const std::string url = gateway.Endpoint(protocol).Url();
        SCOPED_TRACE(url);
        const std::string upload = Path("upload.pcapng");
        const auto r = RunCli({"upload", "--port", url, "--capture", upload});
        ASSERT_EQ(r.code, kExitOk) << r.err;
        const auto uploaded = ReadCapture(upload);
        ExpectCleanForTshark(upload, uploaded);
        EXPECT_GE(CompareIdentityVariablesAndTag(upload, uploaded), 4);

        const std::string table = Path("table.pcapng");
        const auto w = RunCli({"table", "write", "--kind", "tc", "--port", url, "--in",
                                Path("table.txt"), "--yes", "--capture", table});
        ASSERT_EQ(w.code, kExitOk) << w.err;
        const auto written = ReadCapture(table);
        ExpectCleanForTshark(table, written);
        EXPECT_GE(CompareIdentityVariablesAndTag(table, written), 4);
        EXPECT_EQ(std::count_if(written.exchanges.begin(), written.exchanges.end(),
                                [](const traffic::Exchange& e) { return e.Command() == 193; }),
                  5);
    }
}

// The checks above must be able to fail: a broken message and a TCP stream
// with a hole are both caught.
TEST_F(TrafficCommandsTest, TheFaultFilterCatchesMalformedAndExpertWarnings) {
    ASSERT_TRUE(TsharkInstalled()) << "tshark is missing: ./dev test installs it";
    traffic::PcapngWriter writer("test", "test", "test");
    traffic::IpFlow flow;
    // A HART-IP header claiming 100 bytes with 9 behind it.
    const std::vector<std::uint8_t> shortMessage{1, 0, 3, 0, 0, 1, 0, 100, 0x82, 0, 0, 0, 0, 0, 3, 0, 0x81};
    writer.AddPacket(1'000'000, flow.Udp(traffic::Direction::ToDevice, shortMessage));
    for (const auto& p : flow.OpenTcp()) writer.AddPacket(2'000'000, p);
    const std::vector<std::uint8_t> message{1, 0, 3, 0, 0, 2, 0, 17, 0x82, 0, 0, 0, 0, 0, 3, 0, 0x81};
    for (const auto& p : flow.TcpSegment(traffic::Direction::ToDevice, message)) writer.AddPacket(3'000'000, p);
    auto second = flow.TcpSegment(traffic::Direction::ToDevice, message).back();
    second[24 + 3] += 100;  // its sequence number jumps: a segment was missed
    writer.AddPacket(4'000'000, second);
    const std::string path = Path("broken.pcapng");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(writer.Bytes().data()),
               static_cast<std::streamsize>(writer.Bytes().size()));
    EXPECT_EQ(Lines(Tshark(path, kFaultFilter)), (std::vector<std::string>{"1", "6"}));
}

TEST_F(TrafficCommandsTest, ACaptureIsWrittenWhenTheCommandFailsToo) {
    const std::string capture = Path("failed.pcapng");
    // Nobody answers at address 5: every try of command 0 goes unanswered.
    const auto r = RunCli({"identify", "--port", port, "--address", "5", "--capture", capture});
    EXPECT_EQ(r.code, kExitFailed);
    const auto c = ReadCapture(capture);
    ASSERT_FALSE(c.exchanges.empty());
    for (const auto& e : c.exchanges) {
        EXPECT_EQ(e.outcome, traffic::Outcome::NoAnswer);
        EXPECT_TRUE(e.answer.empty());
    }
    EXPECT_EQ(c.exchanges.back().attempt, 4);

    // A capture that cannot be written fails the command, with the reason.
    const auto unwritable =
        RunCli({"identify", "--port", port, "--capture", Path("no/such/folder/x.pcapng")});
    EXPECT_EQ(unwritable.code, kExitFailed);
    EXPECT_TRUE(Contains(unwritable.err, "capture not written")) << unwritable.err;
}

TEST_F(TrafficCommandsTest, DecodePrintsTheExchangesOfACapture) {
    const std::string capture = Path("identify.pcapng");
    ASSERT_EQ(RunCli({"identify", "--port", port, "--capture", capture}).code, kExitOk);
    const auto d = RunCli({"decode", capture});
    ASSERT_EQ(d.code, kExitOk) << d.err;
    EXPECT_TRUE(Contains(d.out, "# Recorded by qt40cfg-cli")) << d.out;
    EXPECT_TRUE(Contains(d.out, "Exchange 1, serial, try 1: answered")) << d.out;
    EXPECT_TRUE(Contains(d.out, "  cmd 0 Read unique identifier")) << d.out;
    EXPECT_TRUE(Contains(d.out, "  Device type = 40 (QT40)")) << d.out;
    EXPECT_TRUE(Contains(d.out, "request, short address 0, secondary master, 5 preambles")) << d.out;

    std::ofstream(Path("not.pcapng")) << "hello";
    const auto bad = RunCli({"decode", Path("not.pcapng")});
    EXPECT_EQ(bad.code, kExitFailed);
    EXPECT_TRUE(Contains(bad.err, "not a pcapng file")) << bad.err;
    EXPECT_EQ(RunCli({"decode", Path("missing.pcapng")}).code, kExitFailed);
    EXPECT_EQ(RunCli({"decode"}).code, kExitUsage);
}

// Files built to break a reader, given to decode: one line on stderr, never
// a crash, exit 1 where the file is damaged; no epoch date for an empty
// capture; no byte of a comment reaches the terminal as a control.
TEST_F(TrafficCommandsTest, HostileFilesGiveOneLineAndTheirExitCode) {
    using namespace traffic::test;
    const auto write = [&](const std::string& name, const Bytes& bytes) {
        std::ofstream(Path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return Path(name);
    };
    const Bytes head =
        SectionHeader("forged\x1b]0;owned\x07\nExchange 99, serial, try 1: answered");
    const Bytes packet =
        PacketBlock(0, 1'700'000'000'000'000,
                    IpPacket(17, {{192, 0, 2, 1}, 49152}, {{192, 0, 2, 2}, 5094},
                             HartIpMessage({}, Bytes{0x02, 0x80, 0x00, 0x00, 0x82})));
    Bytes huge = packet;
    huge[7] = 0x80;  // 2 GB
    Bytes undefined = packet;
    undefined[8] = 3;
    Bytes captured = packet;
    captured[20] = captured[21] = captured[22] = captured[23] = 0xFF;
    const Bytes idb = InterfaceBlock(101);
    const auto cat = [](std::initializer_list<Bytes> parts) {
        Bytes out;
        for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
        return out;
    };
    Bytes cut = cat({head, idb, packet});
    cut.resize(cut.size() - 10);
    Bytes random = cat({head});
    for (int i = 0; i < 200; ++i) random.push_back(static_cast<std::uint8_t>(i * 113 + 7));
    Bytes pcap{0xD4, 0xC3, 0xB2, 0xA1, 2, 0, 4, 0};
    pcap.resize(40);
    std::filesystem::create_directory(Path("folder"));

    struct Case {
        const char* name;
        std::string file;
        int code;
        const char* says;  // on its one line of stderr; empty: no line at all
    };
    const std::vector<Case> cases = {
        {"a folder", Path("folder"), kExitFailed, "is a folder"},
        {"a character device without end", "/dev/zero", kExitFailed, "not a pcapng file"},
        {"a classic pcap file", write("c.pcap", pcap), kExitFailed, "editcap -F pcapng"},
        {"a packet block claiming 2 GB", write("huge.pcapng", cat({head, idb, huge})), kExitFailed,
         "1 damaged block: at byte"},
        {"a captured length of 0xFFFFFFFF", write("cap.pcapng", cat({head, idb, captured})),
         kExitFailed, "a packet of 4294967295 bytes"},
        {"an undefined interface", write("if.pcapng", cat({head, idb, undefined, packet})),
         kExitFailed, "interface 3"},
        {"random bytes after the header", write("random.pcapng", random), kExitFailed, "no block"},
        {"cut in the middle of a packet", write("cut.pcapng", cut), kExitFailed, "the file ends"},
        {"an empty capture", write("empty.pcapng", cat({head, idb})), kExitOk, ""},
        {"a whole capture", write("whole.pcapng", cat({head, idb, packet})), kExitOk, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = RunCli({"decode", c.file});
        EXPECT_EQ(r.code, c.code) << r.err;
        const auto errLines = Lines(r.err);
        if (*c.says) {
            ASSERT_EQ(errLines.size(), 1u) << r.err;
            EXPECT_TRUE(Contains(r.err, c.says)) << r.err;
        } else {
            EXPECT_EQ(r.err, "");
        }
        EXPECT_FALSE(Contains(r.out, "1970")) << r.out;
        EXPECT_FALSE(Contains(r.out + r.err, "\x1b")) << r.out;
        for (const std::string& line : Lines(r.out))
            EXPECT_NE(line.rfind("Exchange 99", 0), 0u) << line;
    }
    const auto empty = RunCli({"decode", Path("empty.pcapng")});
    EXPECT_TRUE(Contains(empty.out, "# 0 exchanges in 0 packets\n")) << empty.out;
    EXPECT_TRUE(Contains(empty.out, "# forged\\x1B]0;owned\\x07\n# Exchange 99, serial"))
        << empty.out;
}

// The capture's path is checked before anything goes to the device.
TEST_F(TrafficCommandsTest, ACaptureThatCannotBeWrittenStopsTheCommandBeforeItSends) {
    std::filesystem::create_directory(Path("folder"));
    for (const std::string& path : {Path("folder"), Path("no/such/folder/x.pcapng")}) {
        SCOPED_TRACE(path);
        const auto before = server->RequestCount();
        const auto r = RunCli({"upload", "--port", port, "--capture", path});
        EXPECT_EQ(r.code, kExitFailed);
        EXPECT_TRUE(Contains(r.err, "capture not written")) << r.err;
        EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
        EXPECT_EQ(server->RequestCount(), before);
    }
}

// monitor writes its capture as it goes: killed, it leaves one tshark reads
// whole, and so does decode.
TEST_F(TrafficCommandsTest, AKilledMonitorLeavesACaptureTsharkReads) {
    ASSERT_TRUE(TsharkInstalled()) << "tshark is missing: ./dev test installs it";
    const std::string capture = Path("monitor.pcapng");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execl(QT40_CLI_EXE, QT40_CLI_EXE, "monitor", "--port", port.c_str(), "--capture",
              capture.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // Until the upload is over and the poll has gone round a few times.
    bool polled = false;
    for (int i = 0; i < 300 && !polled; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::string error;
        const auto c = traffic::CaptureReader::ReadFile(capture, error);
        polled = c && c->exchanges.size() > 30;
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(polled) << "the capture did not grow while monitor ran";
    EXPECT_TRUE(WIFSIGNALED(status));
    const auto c = ReadCapture(capture);
    EXPECT_FALSE(c.Damaged()) << c.DamageText();
    ExpectCleanForTshark(capture, c);
    const auto d = RunCli({"decode", capture});
    EXPECT_EQ(d.code, kExitOk) << d.err;
}

TEST_F(TrafficCommandsTest, TraceIsDecodedAndHexOnRequest) {
    // The trace goes to the process's stderr: run the program itself.
    const auto run = [&](const std::string& trace) {
        const std::string err = Path("err.txt");
        const std::string command = std::string(QT40_CLI_EXE) + " identify --port " + port + " " +
                                    trace + " >/dev/null 2>" + err;
        EXPECT_EQ(std::system(command.c_str()), 0);
        std::ifstream in(err);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string decoded = run("--trace");
    EXPECT_TRUE(Contains(decoded, "TX #1 try 1 to 0: cmd 0 Read unique identifier")) << decoded;
    EXPECT_TRUE(Contains(decoded, "RX #1 after")) << decoded;
    EXPECT_TRUE(Contains(decoded, "Manufacturer ID = 63 (Orvale CO)")) << decoded;
    EXPECT_FALSE(Contains(decoded, "TX: FF,")) << decoded;
    const std::string hex = run("--trace=hex");
    EXPECT_TRUE(Contains(hex, "TX: FF,FF,FF,FF,FF,02,00,00,00,02,")) << hex;
    EXPECT_FALSE(Contains(hex, "TX #1")) << hex;
    EXPECT_EQ(RunCli({"identify", "--port", port, "--trace=words"}).code, kExitUsage);
}

}  // namespace
}  // namespace qt40::cli
