// qt40cfg-cli report and loop-check against the simulator on a
// pseudo-terminal: the PDF judged by poppler's tools against what `upload`
// prints, the sheet's arithmetic, and the loop at level 0 however the check
// ends, the program's own signals and a closed terminal included.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/CliApp.h"
#include "cli/RecordCommands.h"
#include "hart/FrameCodec.h"
#include "sim/SimPtyServer.h"
#include "tests/cli/CliRun.h"
#include "tests/files/TempFolder.h"
#include "tests/records/PdfTools.h"

extern char** environ;

namespace qt40::cli {
namespace {

using test::RunResult;
using test::Contains;

std::string Squeezed(std::string text) {
    std::string out;
    for (char c : text) {
        if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
        out += c;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// The other cells of the first line whose first cell is `caption` (pdftotext
// -layout keeps two blanks or more between the columns of a table).
std::optional<std::string> AfterCaption(const std::string& text, const std::string& caption) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> cells;
        std::size_t at = line.find_first_not_of(' ');
        while (at != std::string::npos) {
            const std::size_t gap = line.find("  ", at);
            cells.push_back(line.substr(at, gap == std::string::npos ? gap : gap - at));
            at = gap == std::string::npos ? gap : line.find_first_not_of(' ', gap);
        }
        if (cells.empty() || cells[0] != caption) continue;
        std::string rest;
        for (std::size_t i = 1; i < cells.size(); ++i) rest += (i > 1 ? " " : "") + cells[i];
        return rest;
    }
    return std::nullopt;
}

class RecordCommandsTest : public ::testing::Test {
protected:
    void Start(sim::SimDevice device = sim::SimDevice{}) {
        device.State().processSwing = 0.0;  // the live values hold still between commands
        server = std::make_unique<sim::SimPtyServer>(std::move(device));
        ASSERT_TRUE(server->Start()) << server->LastError();
        port = server->SlavePath();
    }

    RunResult Run(std::vector<std::string> args) {
        args.insert(args.begin() + 1, {"--port", port});
        return test::RunCli(args);
    }

    float Level() {
        return server->WithDevice([](sim::SimDevice& d) { return d.State().fixedCurrent; });
    }

    std::unique_ptr<sim::SimPtyServer> server;
    std::string port;
    test::TempFolder dir;
};

// Every value `upload` prints, found in the report's PDF beside its caption
// and with its unit.
TEST_F(RecordCommandsTest, ReportHoldsEveryUploadedValueWithItsUnit) {
    ASSERT_TRUE(test::HavePoppler());
    Start();
    const RunResult upload = Run({"upload"});
    ASSERT_EQ(upload.code, 0) << upload.err;
    const RunResult report = Run({"report", "--out", (dir / "report.pdf").string()});
    ASSERT_EQ(report.code, 0) << report.err;
    EXPECT_EQ(report.err, "");
    const std::string text = test::PdfText(dir / "report.pdf");

    std::map<std::string, std::string> uploaded;
    std::istringstream lines(upload.out);
    for (std::string line; std::getline(lines, line);) {
        const auto colon = line.find(": ");
        if (colon != std::string::npos) uploaded[line.substr(0, colon)] = line.substr(colon + 2);
    }
    enum Kind { Text, Number, Code };
    const struct {
        const char* field;
        const char* caption;
        Kind kind;
        const char* unit;
    } rows[] = {
        {"manufacturerName", "Manufacturer", Text, ""},
        {"deviceTypeName", "Device Type", Text, ""},
        {"deviceIdText", "Device ID", Text, ""},
        {"universalRevText", "Universal Command Revision", Text, ""},
        {"transmitterRevText", "Transmitter-Specific Revision", Text, ""},
        {"firmwareRevText", "Software Revision", Text, ""},
        {"hardwareRevText", "Hardware Revision", Text, ""},
        {"preamblesText", "Number of Preambles", Text, ""},
        {"pollingAddress", "Polling Address", Number, ""},
        {"sensorType", "Sensor Type", Code, ""},
        {"measurementType", "Measurement Type", Code, ""},
        {"sensorWires", "Sensor Wires", Code, ""},
        {"sensorSerialNo", "Sensor Serial Number", Number, ""},
        {"pvUnit", "PV Unit", Code, ""},
        {"upperSensorLimit", "PV Upper Sensor Limit", Number, "degC"},
        {"lowerSensorLimit", "PV Lower Sensor Limit", Number, "degC"},
        {"minimumSpan", "PV Minimum Span", Number, "degC"},
        {"aoAlarmMode", "AO Alarm Mode", Code, ""},
        {"transferFunction", "Transfer Function", Code, ""},
        {"upperRange", "PV Upper Range", Number, "degC"},
        {"lowerRange", "PV Lower Range", Number, "degC"},
        {"damping", "PV Damping", Number, "s"},
        {"driftAlarm", "PV Drift Alarm", Number, "degC"},
        {"cjcMode", "CJC Mode", Code, ""},
        {"burnoutDetection", "Burnout Detection", Code, ""},
        {"loopCurrent", "Loop Current", Number, "mA"},
        {"pvValue", "PV", Number, "degC"},
        {"svValue", "Terminal Temperature", Number, "degC"},
        {"finalAssemblyNo", "Final Assembly Number", Number, ""},
        {"aoAlarmHigh", "AO Alarm High Value", Number, "mA"},
        {"aoAlarmLow", "AO Alarm Low Value", Number, "mA"},
        {"termTempUnit", "Terminal Temperature Unit", Code, ""},
        {"constantCjcValue", "Constant CJC Value", Number, "degC"},
        {"leadWireResistance", "Lead Wire Resistance", Number, "ohm"},
        {"message", "Message", Text, ""},
        {"aoSaturationHigh", "AO Saturation High Value", Number, "mA"},
        {"aoSaturationLow", "AO Saturation Low Value", Number, "mA"},
        {"sensorUpperRange", "Sensor Upper Range", Number, "degC"},
        {"sensorLowerRange", "Sensor Lower Range", Number, "degC"},
        {"tag", "Tag", Text, ""},
        {"descriptor", "Descriptor", Text, ""},
        {"date", "Date", Text, ""},
        {"rtdCoefficientA", "Calibrated RTD Coefficient A", Number, ""},
        {"rtdCoefficientB", "Calibrated RTD Coefficient B", Number, ""},
        {"rtdCoefficientC", "Calibrated RTD Coefficient C", Number, ""},
        {"rtdCoefficientR0", "Calibrated RTD R0", Number, "ohm"},
        {"rtdLowerLimit", "Calibrated RTD Lower Limit", Number, "degC"},
        {"rtdUpperLimit", "Calibrated RTD Upper Limit", Number, "degC"},
    };
    // loopCurrentUnit, svUnit and sensorUnit are the units of values above.
    EXPECT_EQ(uploaded.size(), std::size(rows) + 3);
    for (const auto& row : rows) {
        ASSERT_TRUE(uploaded.count(row.field)) << row.field;
        std::string value = uploaded[row.field];
        const auto found = AfterCaption(text, row.caption);
        ASSERT_TRUE(found) << row.caption << "\nin:\n" << text;
        if (row.kind == Code) {
            // "32 (degC)": the report names the code.
            value = value.substr(value.find('(') + 1);
            value.pop_back();
        }
        if (row.kind == Number) {
            const double expected = std::strtod(value.c_str(), nullptr);
            char* end = nullptr;
            const double shown = std::strtod(found->c_str(), &end);
            EXPECT_NE(end, found->c_str()) << row.caption << ": " << *found;
            EXPECT_NEAR(shown, expected, std::max(5e-4, std::fabs(expected) * 1e-6))
                << row.caption << ": " << *found;
        } else {
            EXPECT_EQ(found->rfind(Squeezed(value), 0), 0u) << row.caption << ": " << *found;
        }
        const std::string unit = row.unit;
        if (!unit.empty()) {
            EXPECT_EQ(found->substr(found->size() - std::min(found->size(), unit.size())), unit)
                << row.caption << ": " << *found;
        }
    }
    for (const char* group : {"Identification", "Sensor", "PV and Range", "Output and Alarm",
                              "Calibration Data", "Additional Status", "Sensor 1 Zero Point",
                              "No additional status bit is set."}) {
        EXPECT_TRUE(Contains(text, group)) << group;
    }
}

TEST_F(RecordCommandsTest, JapaneseReportHasJapaneseCaptionsInEmbeddedFonts) {
    ASSERT_TRUE(test::HavePoppler());
    Start();
    const RunResult r = Run({"report", "--language", "Japanese.lng", "--page", "letter", "--out",
                             (dir / "ja.pdf").string()});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string text = test::PdfText(dir / "ja.pdf");
    for (const char* caption : {"設定レポート", "作成日時", "識別情報", "タグ", "センサタイプ",
                                "PVレンジ上限", "出力とアラーム", "校正データ", "追加ステータス",
                                "バーンアウト検出", "秒", "署名"}) {
        EXPECT_TRUE(Contains(text, caption)) << caption << "\nin:\n" << text;
    }
    const std::string fonts = test::PdfFonts(dir / "ja.pdf");
    EXPECT_TRUE(Contains(fonts, "CJK")) << fonts;
    const std::vector<std::string> embedded = test::EmbeddedColumn(fonts);
    EXPECT_FALSE(embedded.empty()) << fonts;
    for (const std::string& flag : embedded) EXPECT_EQ(flag, "yes") << fonts;
    EXPECT_TRUE(Contains(test::PdfInfo(dir / "ja.pdf"), "(letter)"));
}

TEST_F(RecordCommandsTest, ReportAsCsvAndWrongCommandLines) {
    Start();
    RunResult r = Run({"report", "--out", (dir / "report.csv").string()});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string csv = test::TempFolder::Slurp(dir / "report.csv");
    EXPECT_EQ(csv.rfind("\xEF\xBB\xBF" "Configuration Report\r\n", 0), 0u);
    EXPECT_TRUE(Contains(csv, "\r\nPV Upper Range,100.000,degC\r\n")) << csv;
    EXPECT_TRUE(Contains(csv, "\r\nSensor Type,Pt100,\r\n")) << csv;

    const std::uint64_t before = server->RequestCount();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"report", "--out", (dir / "r.txt").string()},
          {"report", "--out", (dir / "r.pdf").string(), "--language", "Klingon.lng"},
          {"report", "--out", (dir / "r.pdf").string(), "--page", "a3"},
          {"loop-check", "--out", (dir / "l.csv").string(), "--points", "0,150"},
          {"loop-check", "--out", (dir / "l.csv").string(), "--tolerance", "0"},
          {"loop-check", "--out", (dir / "l.csv").string(), "--measured", "4,8"},
          {"loop-check", "--out", (dir / "l.csv").string(), "--points", "0,100", "--measured",
           "4,abc"},
          {"loop-check", "--out", (dir / "l.csv").string(), "--points", "0,100", "--measured",
           "4,25.5"},
          {"loop-check", "--out", (dir / "l.csv").string(), "--trim-measured", "4.0"}}) {
        r = Run(args);
        EXPECT_EQ(r.code, 2) << args.back() << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    // Refused before anything was sent.
    EXPECT_EQ(server->RequestCount(), before);
    EXPECT_EQ(dir.EntryCount(), 1u);
}

// A reading written with a decimal comma is told where the point goes, and
// is never taken as two readings.
TEST_F(RecordCommandsTest, ACommaForTheDecimalPointIsNamed) {
    Start();
    const std::uint64_t before = server->RequestCount();
    const struct {
        std::vector<std::string> args;
        const char* said;
    } rows[] = {
        {{"loop-check", "--out", (dir / "l.csv").string(), "--points", "50", "--measured",
          "12,01"},
         "(commas separate the readings; the decimal point is a dot)"},
        {{"loop-check", "--out", (dir / "l.csv").string(), "--points", "0,100", "--measured",
          "4,02"},
         "--measured 4,02: the decimal point is a dot"},
        {{"trim-dac", "--point", "upper", "--measured", "20,01"},
         "--measured 20,01: the decimal point is a dot (20.01)"},
    };
    for (const auto& row : rows) {
        const RunResult r = Run(row.args);
        EXPECT_EQ(r.code, 2) << r.err;
        EXPECT_TRUE(Contains(r.err, row.said)) << r.err;
    }
    EXPECT_EQ(server->RequestCount(), before);
}

// The level of the second point and level 0's first exchange lost: the check
// ends without a question, level 0 is sent again until answered, the last
// line says the loop was released, and the sheet says why the run stopped.
TEST_F(RecordCommandsTest, ALostLevelEndsTheCheckWithTheLoopReleased) {
    Start();
    sim::SimDevice* device = nullptr;
    server->WithDevice([&](sim::SimDevice& d) { device = &d; });
    std::atomic<bool> armed{true};
    // Called on the server's thread under its lock: the faults start after
    // the first answer to command 40 (the 4 mA point).
    server->ObserveAnswers([&](const sim::SimReply& reply) {
        std::size_t i = 0;
        while (i < reply.bytes.size() && reply.bytes[i] == 0xFF) ++i;
        HartLink link;
        if (!armed || i >= reply.bytes.size() ||
            !DecodeResponseFrame(link, std::span<const std::uint8_t>(reply.bytes).subspan(i)) ||
            link.command != 40) {
            return;
        }
        armed = false;
        device->Faults().onlyCommand = 40;
        device->Faults().dropAnswer.remaining = 8;
    });
    const std::string sheet = (dir / "lost.csv").string();
    const RunResult r =
        Run({"loop-check", "--out", sheet, "--measured", "4.002,8.04,12.0401,15.96,19.959"});
    EXPECT_EQ(r.code, 1) << r.err;
    const auto lines = test::Lines(r.err);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "qt40cfg-cli: an exchange with the device on " + port +
                                " was lost; the loop was released");
    EXPECT_TRUE(Contains(r.out, "loop released (level 0)\n")) << r.out;
    EXPECT_EQ(Level(), 0.0f);
    const std::string csv = test::TempFolder::Slurp(sheet);
    for (const char* line : {"\r\nResult As Found,INCOMPLETE\r\n",
                             "\r\nAs Found stopped,An exchange with the device was lost\r\n",
                             "\r\nLoop after As Found,The loop is released: the output follows "
                             "the PV again.\r\n",
                             "\r\nTransfer Function,LINEAR\r\n"}) {
        EXPECT_TRUE(Contains(csv, line)) << line << "\n" << csv;
    }
}

TEST_F(RecordCommandsTest, LoopCheckWithGivenReadings) {
    Start();
    const std::string sheet = (dir / "sheet.csv").string();
    RunResult r = Run({"loop-check", "--out", sheet, "--measured", "4.002,8.04,12.0401,15.96,19.959",
                       "--technician", "A. Tanaka", "--meter", "DMM-0042", "--note", "=cmd"});
    EXPECT_EQ(r.code, kExitCheckFailed) << r.err;
    EXPECT_EQ(Level(), 0.0f);
    EXPECT_TRUE(Contains(r.out, "loop released (level 0)\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "as found: FAIL\n")) << r.out;
    const std::string csv = test::TempFolder::Slurp(sheet);
    for (const char* line : {"\r\nTechnician,A. Tanaka\r\n", "\r\nReference Meter ID,DMM-0042\r\n",
                             "\r\nNote,'=cmd\r\n", "\r\nResult As Found,FAIL\r\n",
                             "\r\n0,4.000,4.002,0.013,PASS\r\n", "\r\n25,8.000,8.040,0.250,PASS\r\n",
                             "\r\n50,12.000,12.0401,0.251,FAIL\r\n",
                             "\r\n75,16.000,15.960,-0.250,PASS\r\n",
                             "\r\n100,20.000,19.959,-0.256,FAIL\r\n"}) {
        EXPECT_TRUE(Contains(csv, line)) << line << "\nin:\n" << csv;
    }

    // Within tolerance everywhere, on points of our own: exit 0.
    r = Run({"loop-check", "--out", sheet, "--points", "10,90", "--tolerance", "0.1", "--measured",
             "5.6,18.416"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(test::TempFolder::Slurp(sheet), "\r\n90,18.400,18.416,0.100,PASS\r\n"));
    EXPECT_EQ(Level(), 0.0f);
}

TEST_F(RecordCommandsTest, AsLeftRunAfterADacTrim) {
    Start();
    const std::string sheet = (dir / "sheet.csv").string();
    const RunResult r = Run({"loop-check", "--out", sheet, "--points", "0,100", "--measured",
                             "4.1,19.85", "--trim-measured", "4.1,19.85", "--left-measured",
                             "4.001,19.999"});
    EXPECT_EQ(r.code, 0) << r.err << r.out;
    const sim::SimState s = server->WithDevice([](sim::SimDevice& d) { return d.State(); });
    EXPECT_NEAR(s.dacZeroTrim, -0.1, 1e-4);
    EXPECT_NEAR(s.dacGainTrim, 0.15, 1e-4);
    EXPECT_EQ(s.fixedCurrent, 0.0f);
    const std::string csv = test::TempFolder::Slurp(sheet);
    EXPECT_TRUE(Contains(csv, "\r\nResult As Found,FAIL\r\nResult As Left,PASS\r\n")) << csv;
    EXPECT_TRUE(Contains(r.out, "DAC trimmed at 20 mA with 19.85 mA measured\n")) << r.out;
    // The sheet keeps the trim with its readings.
    EXPECT_TRUE(Contains(csv,
                         "\r\nDAC Trim at 4 mA,Stored with 4.1 mA measured\r\n"
                         "DAC Trim at 20 mA,Stored with 19.85 mA measured\r\n"))
        << csv;

    // A trim that stops after its lower point was stored says so too.
    const std::string stopped = (dir / "stopped.csv").string();
    const RunResult half = Run({"loop-check", "--out", stopped, "--points", "0,100", "--measured",
                                "4.1,19.85", "--trim-measured", "4.05,21"});
    EXPECT_EQ(half.code, 1) << half.err;
    const std::string halfCsv = test::TempFolder::Slurp(stopped);
    EXPECT_TRUE(Contains(halfCsv,
                         "\r\nDAC Trim at 4 mA,Stored with 4.05 mA measured\r\n"
                         "DAC Trim,Stopped before both points were trimmed\r\n"))
        << halfCsv;
    EXPECT_EQ(Level(), 0.0f);
}

// The program itself, its readings typed on standard input.
class TypedLoopCheckTest : public RecordCommandsTest {
protected:
    struct Child {
        pid_t pid = 0;
        int out = -1;  // its standard output (and error)
        int in = -1;   // its standard input
    };

    Child Spawn(const std::string& sheet, const char* points = "0,50,100") {
        int outFds[2], inFds[2];
        EXPECT_EQ(::pipe(outFds), 0);
        EXPECT_EQ(::pipe(inFds), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, outFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, outFds[1], STDERR_FILENO);
        posix_spawn_file_actions_adddup2(&actions, inFds[0], STDIN_FILENO);
        posix_spawn_file_actions_addclose(&actions, outFds[0]);
        posix_spawn_file_actions_addclose(&actions, inFds[1]);
        const char* argv[] = {QT40_CLI_EXE, "loop-check", "--port", port.c_str(), "--points",
                              points,       "--out",      sheet.c_str(), nullptr};
        Child child;
        EXPECT_EQ(::posix_spawn(&child.pid, QT40_CLI_EXE, &actions, nullptr,
                                const_cast<char**>(argv), environ),
                  0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(outFds[1]);
        ::close(inFds[0]);
        child.out = outFds[0];
        child.in = inFds[1];
        return child;
    }

    // Reads until `text` has come (or the output ends).
    static std::string ReadUntil(int fd, const std::string& text, std::string& seen) {
        char c = 0;
        while (!Contains(seen, text) && ::read(fd, &c, 1) == 1) seen += c;
        return seen;
    }

    static int Finish(Child& child, std::string& seen) {
        if (child.in >= 0) ::close(child.in);
        char c = 0;
        while (::read(child.out, &c, 1) == 1) seen += c;
        ::close(child.out);
        int status = 0;
        EXPECT_EQ(::waitpid(child.pid, &status, 0), child.pid);
        EXPECT_TRUE(WIFEXITED(status)) << "ended by a signal:\n" << seen;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    static void Type(const Child& child, const std::string& text) {
        ASSERT_EQ(::write(child.in, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
};

TEST_F(TypedLoopCheckTest, RefusedReadingsAreAskedAgainNeverStored) {
    Start();
    const std::string sheet = (dir / "sheet.csv").string();
    Child child = Spawn(sheet);
    std::string seen;
    ReadUntil(child.out, "point 1 of 3: output fixed at 4.000 mA", seen);
    EXPECT_EQ(Level(), 4.0f);
    Type(child, "abc\n\n30\n-1\n4.004\n");
    ReadUntil(child.out, "point 2 of 3: output fixed at 12.000 mA", seen);
    EXPECT_EQ(Level(), 12.0f);
    Type(child, "12\n20.01\n");
    EXPECT_EQ(Finish(child, seen), 0) << seen;
    for (const char* refused : {"\"abc\" is not a current", "\"\" is not a current",
                                "\"30\" is not a current", "\"-1\" is not a current"}) {
        EXPECT_TRUE(Contains(seen, refused)) << refused << "\nin:\n" << seen;
    }
    EXPECT_EQ(Level(), 0.0f);
    const std::string csv = test::TempFolder::Slurp(sheet);
    EXPECT_TRUE(Contains(csv, "\r\n0,4.000,4.004,0.025,PASS\r\n")) << csv;
    EXPECT_TRUE(Contains(csv, "\r\n100,20.000,20.010,0.063,PASS\r\n")) << csv;
}

// SIGINT, SIGTERM, SIGHUP or the end of standard input while the output
// holds a point: the loop goes back to level 0, what was measured is saved.
TEST_F(TypedLoopCheckTest, EveryEndingReleasesTheLoop) {
    Start();
    const struct {
        const char* how;
        int signal;  // 0: standard input closed
    } ways[] = {{"SIGINT", SIGINT}, {"SIGTERM", SIGTERM}, {"SIGHUP", SIGHUP}, {"end of input", 0}};
    for (const auto& way : ways) {
        const std::string sheet = (dir / (std::string("sheet-") + way.how + ".csv")).string();
        Child child = Spawn(sheet);
        std::string seen;
        ReadUntil(child.out, "point 1 of 3", seen);
        Type(child, "4.01\n");
        ReadUntil(child.out, "point 2 of 3: output fixed at 12.000 mA", seen);
        EXPECT_EQ(Level(), 12.0f) << way.how;
        if (way.signal != 0) {
            ASSERT_EQ(::kill(child.pid, way.signal), 0);
        } else {
            ::close(child.in);
            child.in = -1;
        }
        EXPECT_EQ(Finish(child, seen), 1) << way.how << ":\n" << seen;
        EXPECT_TRUE(Contains(seen, "loop released (level 0)")) << way.how << ":\n" << seen;
        EXPECT_EQ(Level(), 0.0f) << way.how;
        const std::string csv = test::TempFolder::Slurp(sheet);
        EXPECT_TRUE(Contains(csv, "\r\nResult As Found,INCOMPLETE\r\n")) << way.how << csv;
        EXPECT_TRUE(Contains(csv, "\r\n0,4.000,4.010,0.063,PASS\r\n")) << way.how << csv;
        EXPECT_TRUE(Contains(csv, "\r\n50,12.000,,,\r\n")) << way.how << csv;
    }
}

// A terminal that goes away (its window closed): the kernel hangs up the
// session, and the program still releases the loop before it ends.
TEST_F(TypedLoopCheckTest, AClosedTerminalReleasesTheLoop) {
    Start();
    int master = -1, slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    const std::string tty = ::ttyname(slave);
    ::close(slave);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Opened by the new session's leader, the terminal becomes its controlling one.
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, tty.c_str(), O_RDWR, 0);
    posix_spawn_file_actions_adddup2(&actions, STDIN_FILENO, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, STDIN_FILENO, STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, master);
    const std::string sheet = (dir / "sheet.csv").string();
    const char* argv[] = {QT40_CLI_EXE, "loop-check", "--port", port.c_str(), "--out",
                          sheet.c_str(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, QT40_CLI_EXE, &actions, &attributes, const_cast<char**>(argv),
                            environ),
              0);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);

    std::string seen;
    char c = 0;
    while (!Contains(seen, "point 1 of 5: output fixed at 4.000 mA") && ::read(master, &c, 1) == 1) {
        seen += c;
    }
    EXPECT_EQ(Level(), 4.0f) << seen;
    ::close(master);  // the window closes
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(Level(), 0.0f);
    EXPECT_TRUE(Contains(test::TempFolder::Slurp(sheet), "Result As Found,INCOMPLETE"));
}

}  // namespace
}  // namespace qt40::cli
