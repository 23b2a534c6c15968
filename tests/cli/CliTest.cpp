// The command-line tool's commands against the simulator on a pseudo-terminal.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "files/CFilePropertyReadWrite.h"
#include "cli/CliApp.h"
#include "cli/RecordPrinter.h"
#include "sim/SimPtyServer.h"
#include "tests/cli/CliRun.h"
#include "tests/cli/SimProcess.h"
#include "tests/transport/UploadSequence.h"
#include "transport/HartIpClient.h"


namespace qt40::cli {
namespace {

using test::RunResult;
using test::TestTiming;
using test::RunCli;
using test::Lines;
using test::Contains;

class CliAgainstSimulator : public ::testing::Test {
protected:
    void Start(std::uint8_t address = 0) {
        server = std::make_unique<sim::SimPtyServer>(sim::SimDevice(sim::SimModel::QT40, address));
        ASSERT_TRUE(server->Start()) << server->LastError();
        port = server->SlavePath();
    }
    std::unique_ptr<sim::SimPtyServer> server;
    std::string port;
};

TEST_F(CliAgainstSimulator, IdentifyPrintsTheIdentity) {
    Start(2);
    const auto r = RunCli({"identify", "--port", port, "--address", "2"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_TRUE(r.err.empty());
    EXPECT_TRUE(Contains(r.out, "address: 2\n"));
    EXPECT_TRUE(Contains(r.out, "deviceTypeName: QT40\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "hardwareRevText: 1.2\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "preamblesText: 5\n")) << r.out;
}

TEST_F(CliAgainstSimulator, UploadPrintsEveryFieldWithCodeNames) {
    Start();
    const auto r = RunCli({"upload", "--port", port});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    for (const char* line : {"sensorType: 12 (Pt100)\n", "pvUnit: 32 (degC)\n", "upperRange: 100\n",
                             "aoAlarmHigh: 21.75\n", "tag: TT-101  \n", "finalAssemblyNo: 120034\n",
                             "loopCurrentUnit: 39 (mA)\n"}) {
        EXPECT_TRUE(Contains(r.out, line)) << line << "in\n" << r.out;
    }
}

TEST_F(CliAgainstSimulator, UploadJsonIsOneValidObject) {
    Start();
    const auto r = RunCli({"upload", "--port", port, "--json"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_EQ(Lines(r.out).size(), 1u);
    QJsonParseError error{};
    const auto doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    const QJsonObject root = doc.object();
    EXPECT_EQ(root["port"].toString().toStdString(), port);
    const QJsonObject device = root["device"].toObject();
    EXPECT_EQ(device["deviceTypeName"].toString(), "QT40");
    EXPECT_EQ(device["pvUnit"].toObject()["code"].toInt(), 32);
    EXPECT_EQ(device["pvUnit"].toObject()["name"].toString(), "degC");
    EXPECT_DOUBLE_EQ(device["lowerSensorLimit"].toDouble(), -200.0);
    EXPECT_EQ(device["message"].toString(), "QT40 SIMULATED TRANSMITTER      ");
}

TEST_F(CliAgainstSimulator, UploadOutSavesTheConfigurationFile) {
    Start();
    QTemporaryDir dir;
    const std::string file = dir.filePath("plant.cfg").toStdString();
    const auto r = RunCli({"upload", "--port", port, "--out", file});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    CFilePropertyReadWrite reader;
    ASSERT_TRUE(reader.Read(file).ok());
    EXPECT_EQ(reader.Values().tag, "TT-101  ");
    EXPECT_EQ(reader.Values().sensorType, "Pt100");
    EXPECT_EQ(reader.Values().pvUnit, "degC");

    // A folder that cannot exist: one clear line, a failure code, nothing left behind.
    const std::string blocked = file + "/inside.cfg";
    const auto failed = RunCli({"upload", "--port", port, "--out", blocked});
    EXPECT_NE(failed.code, kExitOk);
    EXPECT_EQ(Lines(failed.err).size(), 1u) << failed.err;
    EXPECT_TRUE(failed.out.empty());
    ASSERT_TRUE(reader.Read(file).ok());  // the earlier file is intact
    EXPECT_EQ(reader.Values().tag, "TT-101  ");
}

TEST_F(CliAgainstSimulator, MonitorPrintsOneLinePerPoll) {
    Start();
    const auto r = RunCli({"monitor", "--port", port, "--count", "3"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    for (const auto& line : lines) {
        EXPECT_EQ(line.rfind("PV ", 0), 0u) << line;
        EXPECT_TRUE(Contains(line, " degC  PV% ")) << line;
        EXPECT_TRUE(Contains(line, " mA  status 0x")) << line;
    }
}

TEST_F(CliAgainstSimulator, SearchPrintsEachAddressAndTheDeviceFound) {
    Start(7);
    const auto r = RunCli({"search", "--port", port, "--from", "3"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    const auto lines = Lines(r.out);
    const std::vector<std::string> head(lines.begin(),
                                        lines.begin() + std::min<std::size_t>(6, lines.size()));
    EXPECT_EQ(head, (std::vector<std::string>{"trying address 3", "trying address 4",
                                              "trying address 5", "trying address 6",
                                              "trying address 7", "found: address 7"}));
    EXPECT_TRUE(Contains(r.out, "deviceTypeName: QT40\n"));
}

TEST_F(CliAgainstSimulator, SearchLooksBelowTheStartBeforeGivingUp) {
    Start(1);
    const auto r = RunCli({"search", "--port", port, "--from", "14"});
    ASSERT_EQ(r.code, kExitOk) << r.err;
    EXPECT_TRUE(Contains(r.out, "trying address 15\ntrying address 0\ntrying address 1\n"))
        << r.out;
    EXPECT_TRUE(Contains(r.out, "found: address 1\n"));
}

TEST_F(CliAgainstSimulator, FailuresEndWithOneLineAndANonZeroCode) {
    Start(0);
    server->WithDevice(
        [](sim::SimDevice& d) { ASSERT_FALSE(sim::ApplyFaultSwitch("code:130=16", d.Faults())); });
    struct Row {
        std::vector<std::string> args;
        int code;
        const char* message;
    };
    const std::vector<Row> rows = {
        {{"identify", "--port", "/dev/null"}, kExitFailed, "cannot open port /dev/null"},
        {{"identify", "--port", port, "--address", "4"},
         kExitFailed,
         "no answer from a device at address 4"},
        {{"upload", "--port", port}, kExitFailed, "refused request 402 (response code 16)"},
        {{}, kExitUsage, "subcommand"},
        {{"identify"}, kExitUsage, "--port"},
        {{"identify", "--port", port, "--address", "16"}, kExitUsage, "--address"},
        {{"sim", "--fault", "melt"}, kExitUsage, "--fault melt"},
        {{"sim", "--model", "XYZ"}, kExitUsage, "unknown model XYZ"},
        {{"sim", "--hartip", "::1:5094"}, kExitUsage, "brackets"},
        {{"sim", "--hartip", "localhost:99999"}, kExitUsage, "--hartip localhost:99999"},
        {{"sim", "--latency", "300"}, kExitUsage, "--hartip"},
        {{"sim", "--hartip", "0", "--realtime"}, kExitUsage, "--realtime"},
    };
    for (const Row& row : rows) {
        std::string joined;
        for (const auto& a : row.args) joined += a + " ";
        SCOPED_TRACE(joined);
        const auto r = RunCli(row.args);
        EXPECT_EQ(r.code, row.code);
        EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
        EXPECT_TRUE(Contains(r.err, row.message)) << r.err;
    }
}

TEST(CliSimCommand, ServesUntilTerminatedAndExitsCleanly) {
    // The path is the first line, available at once.
    test::SimProcess sim({"--address", "3"}, 1);
    ASSERT_TRUE(sim.Started());
    const std::string& path = sim.printed[0];
    ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;

    const auto r = RunCli({"identify", "--port", path, "--address", "3"});
    EXPECT_EQ(r.code, kExitOk) << r.err;

    const int status = sim.Terminate();
    ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(CliSimCommand, ServesHartIpOnTheAddressGivenAndSaysWhere) {
    // The TCP URL first, the UDP one second, on the loopback unless told otherwise.
    test::SimProcess sim({"--address", "3", "--hartip", "0", "--latency", "10"}, 2);
    ASSERT_TRUE(sim.Started());
    const std::vector<std::string>& lines = sim.printed;
    ASSERT_EQ(lines[0].rfind("hartip://127.0.0.1:", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1], "hartip+udp://" + lines[0].substr(9));

    for (const std::string& url : lines) {
        SCOPED_TRACE(url);
        HartIpClient client;
        ASSERT_EQ(client.Open(url), kCommSuccess) << client.LastError();
        DeviceState session;
        session.record.pollingAddress = 3;
        std::string failure;
        EXPECT_TRUE(testing::RunStep(client, session, *FindCommand(0), 1000, &failure)) << failure;
    }

    const int status = sim.Terminate();
    ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(CliSimCommand, WritesTheCommandOfEveryRequestHeardWhenItEnds) {
    QTemporaryDir dir;
    const std::string file = dir.filePath("sim.requests").toStdString();
    test::SimProcess sim({"--requests", file}, 1);
    ASSERT_TRUE(sim.Started());
    const std::string& path = sim.printed[0];

    // Given an upload and a monitor cycle...
    EXPECT_EQ(RunCli({"upload", "--port", path}).code, kExitOk);
    EXPECT_EQ(RunCli({"monitor", "--port", path, "--count", "1"}).code, kExitOk);
    const int status = sim.Terminate();
    ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal";
    EXPECT_EQ(WEXITSTATUS(status), 0);

    // ...the file lists command 0 and the upload list, then the monitor's
    // connection and the first poll cycle, one a line, CR LF.
    std::string expected;
    for (const CommandStep* step : testing::UploadSteps()) {
        expected += std::to_string(step->command) + "\r\n";
    }
    for (const CommandStep* step : testing::UploadSteps()) {
        expected += std::to_string(step->command) + "\r\n";
    }
    expected += "3\r\n";
    const std::string written = [&] {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    EXPECT_EQ(written.substr(0, expected.size()), expected);

    // One device's requests: not a multidrop loop's.
    const auto refused = RunCli({"sim", "--requests", file, "--devices", "2"});
    EXPECT_EQ(refused.code, kExitUsage);
    EXPECT_TRUE(Contains(refused.err, "--requests")) << refused.err;
}

TEST(RecordPrinterTest, JsonStringsEscapeWhatJsonForbids) {
    struct Row {
        std::string text;
        std::string json;
    };
    for (const Row& row :
         {Row{"TT-101", "\"TT-101\""}, Row{"a\"b", "\"a\\\"b\""}, Row{"c:\\x", "\"c:\\\\x\""},
          Row{"l1\nl2", "\"l1\\nl2\""}, Row{std::string("\x01", 1), "\"\\u0001\""},
          Row{"\xC3\xA9", "\"\\u00c3\\u00a9\""}}) {
        EXPECT_EQ(RecordPrinter::JsonString(row.text), row.json) << row.text;
    }
}

TEST(RecordPrinterTest, StatusFlagsUseTheStatusBarLabels) {
    struct Row {
        std::uint8_t status;
        const char* flags;
    };
    for (const Row& row : {Row{0x00, ""}, Row{0x40, "CFG"}, Row{0x10, ""}, Row{0x81, "MAL PV"},
                           Row{0xFF, "MAL CFG CLD AFX AOS NPV PV"}}) {
        EXPECT_EQ(RecordPrinter::StatusFlags(row.status), row.flags) << int{row.status};
    }
}

TEST(RecordPrinterTest, MonitorLineShowsNoNegativeZero) {
    DeviceRecord r;
    r.pvValue = -0.001;
    r.pvUnit = 32;
    r.svUnit = 32;
    r.percentOfRange = 12.345;
    r.loopCurrent = 5.975;
    EXPECT_EQ(RecordPrinter::MonitorLine(r, 0x44),
              "PV 0.00 degC  PV% 12.35 %  Term. 0.00 degC  AO 5.97 mA  status 0x44 CFG AOS");
}

}  // namespace
}  // namespace qt40::cli
