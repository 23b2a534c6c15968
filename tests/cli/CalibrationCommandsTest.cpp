// The calibration and maintenance commands against the simulator on a
// pseudo-terminal, checked on what the device ends up holding.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/CalibrationCommands.h"
#include "cli/CliApp.h"
#include "hart/Encodings.h"
#include "hart/FrameCodec.h"
#include "sim/SimPtyServer.h"
#include "tests/cli/CliRun.h"

extern char** environ;

namespace qt40::cli {
namespace {

using test::RunResult;
using test::Contains;

// Command and data of an answer as the simulator sends it.
struct Answered {
    int command = -1;
    std::vector<std::uint8_t> data;  // after the two status bytes
};

Answered ParseAnswer(const std::vector<std::uint8_t>& bytes) {
    std::size_t i = 0;
    while (i < bytes.size() && bytes[i] == 0xFF) ++i;
    HartLink link;
    Answered answered;
    if (i >= bytes.size() ||
        !DecodeResponseFrame(link, std::span<const std::uint8_t>(bytes).subspan(i))) {
        return answered;
    }
    answered.command = link.command;
    if (link.byteCount >= 2) {
        answered.data.assign(link.dataBuffer.begin() + 2,
                             link.dataBuffer.begin() + link.byteCount);
    }
    return answered;
}

// The command-line tool as its own process, its stdout on a pipe and its
// stdin open and silent.
struct Spawned {
    pid_t pid = 0;
    int out = -1;
    int in = -1;

    // Everything printed until the end, then the exit status.
    std::pair<std::string, int> Finish() {
        std::string text;
        char c = 0;
        while (::read(out, &c, 1) == 1) text += c;
        ::close(out);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ::close(in);
        return {text, status};
    }
};

Spawned SpawnCli(const std::vector<std::string>& args) {
    Spawned child;
    int outFds[2], inFds[2];
    if (::pipe(outFds) != 0 || ::pipe(inFds) != 0) return child;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, inFds[0], STDIN_FILENO);
    posix_spawn_file_actions_addclose(&actions, outFds[0]);
    posix_spawn_file_actions_addclose(&actions, inFds[1]);
    std::vector<char*> argv{const_cast<char*>(QT40_CLI_EXE)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (::posix_spawn(&child.pid, QT40_CLI_EXE, &actions, nullptr, argv.data(), environ) != 0) {
        child.pid = 0;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(outFds[1]);
    ::close(inFds[0]);
    child.out = outFds[0];
    child.in = inFds[1];
    return child;
}

class CalibrationCommandsTest : public ::testing::Test {
protected:
    void Start(sim::SimDevice device = sim::SimDevice{},
               std::function<void(const sim::SimReply&)> observer = {}) {
        server = std::make_unique<sim::SimPtyServer>(std::move(device));
        if (observer) server->ObserveAnswers(std::move(observer));
        ASSERT_TRUE(server->Start()) << server->LastError();
        port = server->SlavePath();
    }

    RunResult Run(std::vector<std::string> args) {
        args.insert(args.begin() + 1, {"--port", port});
        return test::RunCli(args);
    }

    sim::SimState State() {
        return server->WithDevice([](sim::SimDevice& d) { return d.State(); });
    }

    std::unique_ptr<sim::SimPtyServer> server;
    std::string port;
};

TEST_F(CalibrationCommandsTest, LoopTestHoldsTheLevelAndLeavesFixedMode) {
    Start();
    const auto r = Run({"loop-test", "--ma", "12.5", "--hold", "0"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "loop current fixed at 12.500 mA")) << r.out;
    EXPECT_TRUE(Contains(r.out, "fixed-current mode left\n")) << r.out;
    EXPECT_EQ(State().fixedCurrent, 0.0f);

    // Outside 3.8 … 22 mA the command line itself is wrong; nothing is sent.
    for (const char* level : {"22.1", "3.79", "twelve"}) {
        const auto refused = Run({"loop-test", "--ma", level});
        EXPECT_EQ(refused.code, 2) << level;
    }
}

TEST_F(CalibrationCommandsTest, TrimDacAtBothPoints) {
    Start();
    const struct {
        const char* point;
        const char* measured;
        int code;
        float zeroTrim, gainTrim;
    } rows[] = {
        {"lower", "4.1", 0, -0.1f, 0.0f},
        {"upper", "19.85", 0, -0.1f, 0.15f},
        {"lower", "4.21", 2, -0.1f, 0.15f},  // refused before anything is sent
    };
    for (const auto& row : rows) {
        const std::uint64_t before = server->RequestCount();
        const auto r = Run({"trim-dac", "--point", row.point, "--measured", row.measured});
        EXPECT_EQ(r.code, row.code) << row.point << ' ' << row.measured << ": " << r.err;
        const sim::SimState s = State();
        EXPECT_NEAR(s.dacZeroTrim, row.zeroTrim, 1e-4) << row.measured;
        EXPECT_NEAR(s.dacGainTrim, row.gainTrim, 1e-4) << row.measured;
        // Whatever happened, the output follows the PV again.
        EXPECT_EQ(s.fixedCurrent, 0.0f) << row.measured;
        if (row.code == 2) {
            // A wrong command line never fixes the output at all.
            EXPECT_EQ(server->RequestCount(), before) << row.measured;
            EXPECT_TRUE(Contains(r.err, "--measured 4.21 is outside 3.8 to 4.2 mA")) << r.err;
        } else {
            EXPECT_TRUE(Contains(r.out, "fixed-current mode left\n")) << r.out;
        }
    }
}

TEST_F(CalibrationCommandsTest, SensorCalibrationZeroSpanAndClear) {
    sim::SimDevice device;
    device.State().processSwing = 0.0;  // 25 degC steady
    device.State().measurementType = 1;
    Start(std::move(device));
    auto r = Run({"sensor-cal", "--kind", "zero", "--value", "24.5"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "sensor: 1\nzeroPoint: 24.5000 degC\nzeroValue: 0.5000 degC\ngain: 1.0000\n");
    r = Run({"sensor-cal", "--kind", "span", "--value", "50", "--sensor", "2"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "sensor: 2\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "gain: 2.0000\n")) << r.out;
    EXPECT_FLOAT_EQ(State().sensorTrim[1].spanGain, 2.0f);
    EXPECT_FLOAT_EQ(State().sensorTrim[0].zeroPoint, 24.5f);

    r = Run({"sensor-cal", "--kind", "zero", "--value", "900"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Contains(r.err, "--value 900 is outside -200 to 850 degC")) << r.err;
    EXPECT_EQ(Run({"sensor-cal", "--kind", "span"}).code, 2);

    r = Run({"sensor-cal", "--kind", "clear"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(State().sensorTrim[0].zeroPoint, 0.0f);
    EXPECT_FLOAT_EQ(State().sensorTrim[1].spanGain, 2.0f);
}

TEST_F(CalibrationCommandsTest, SensorTwoOfASingleSensorIsRefused) {
    Start();
    const auto r = Run({"sensor-cal", "--kind", "clear", "--sensor", "2"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "single sensor")) << r.err;
}

TEST_F(CalibrationCommandsTest, WireResistanceReadWriteAndCalibrate) {
    sim::SimDevice device;
    device.State().rtdA = 0.0f;  // the sensor reads 110.3 + lead wire ohms
    device.State().rtdR0 = 110.3f;
    device.State().leadWireResistance = 0.2f;
    Start(std::move(device));
    const struct {
        std::vector<std::string> args;
        int code;
        const char* shown;  // on stdout or stderr
        float written;
    } rows[] = {
        {{"wire-resistance"}, 0, "leadWireResistance: 0.2000 ohms\n", 0.2f},
        // 110.5 - 85.7 + 0.2 = 25 ohms: refused, nothing written.
        {{"wire-resistance", "--calibrate", "85.7"}, 1, "would be 25.000000 ohms", 0.2f},
        {{"wire-resistance", "--calibrate", "100"}, 0, "leadWireResistance: 10.7000 ohms\n", 10.7f},
        {{"wire-resistance", "--set", "20.01"}, 2, "--set 20.01 is outside 0 to 20 ohms", 10.7f},
        {{"wire-resistance", "--set", "0"}, 0, "leadWireResistance: 0.0000 ohms\n", 0.0f},
    };
    for (const auto& row : rows) {
        const auto r = Run(row.args);
        EXPECT_EQ(r.code, row.code) << row.args.back() << ": " << r.err;
        EXPECT_TRUE(Contains(r.out + r.err, row.shown)) << r.out << r.err;
        EXPECT_FLOAT_EQ(State().leadWireResistance, row.written) << row.args.back();
    }
    EXPECT_EQ(Run({"wire-resistance", "--set", "1", "--calibrate", "100"}).code, 2);
}

TEST_F(CalibrationCommandsTest, ResetSelfTestAndStatus) {
    Start();
    server->WithDevice([](sim::SimDevice& d) {
        d.State().fixedCurrent = 8.0f;
        d.State().tag = "BEFORE  ";
    });
    auto r = Run({"reset"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(State().fixedCurrent, 0.0f);

    r = Run({"status"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "no additional status bit set\n");

    server->WithDevice(
        [](sim::SimDevice& d) { d.State().additionalStatus = {0x01, 0xFF, 0x10, 0, 0x30, 0}; });
    r = Run({"status"});
    EXPECT_EQ(r.code, kExitStatusSet) << r.err;
    EXPECT_EQ(r.out,
              "byte 0 bit 0: ADC Module Failed (Summary Error)\n"
              "byte 4 bit 4: ADC Module Failed (ADC and CJC Sensor Error)\n"
              "byte 4 bit 5: ADC Module Communication Error (ADC and CJC Sensor Error)\n"
              "byte 1 bit 0: (no label)\n"
              "byte 1 bit 1: (no label)\n"
              "byte 1 bit 2: (no label)\n"
              "byte 1 bit 3: (no label)\n"
              "byte 1 bit 4: (no label)\n"
              "byte 1 bit 5: (no label)\n"
              "byte 1 bit 6: (no label)\n"
              "byte 1 bit 7: (no label)\n"
              "byte 2 bit 4: (no label)\n");

    r = Run({"self-test"});
    EXPECT_EQ(r.code, kExitStatusSet) << r.err;
    EXPECT_TRUE(Contains(r.out, "self test done\n")) << r.out;
}

TEST_F(CalibrationCommandsTest, NoDeviceIsOneLineAndExitOne) {
    Start(sim::SimDevice(sim::SimModel::QT40, 5));
    const auto r = Run({"status"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

// The program itself, ended by SIGTERM, SIGINT or Enter while the loop is
// fixed: each way the loop goes back to the PV and the exit is clean.
TEST_F(CalibrationCommandsTest, LoopTestLeavesFixedModeOnSignalsAndEnter) {
    Start();
    const struct {
        const char* how;
        int signal;  // 0: Enter on stdin
    } ways[] = {{"SIGTERM", SIGTERM}, {"SIGINT", SIGINT}, {"SIGHUP", SIGHUP}, {"Enter", 0}};
    for (const auto& way : ways) {
        int outFds[2], inFds[2];
        ASSERT_EQ(::pipe(outFds), 0);
        ASSERT_EQ(::pipe(inFds), 0);  // stdin stays open and silent until Enter
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, outFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, inFds[0], STDIN_FILENO);
        posix_spawn_file_actions_addclose(&actions, outFds[0]);
        posix_spawn_file_actions_addclose(&actions, inFds[1]);
        const char* argv[] = {QT40_CLI_EXE, "loop-test", "--port", port.c_str(),
                              "--ma",       "16",        nullptr};
        pid_t pid = 0;
        ASSERT_EQ(
            ::posix_spawn(&pid, QT40_CLI_EXE, &actions, nullptr, const_cast<char**>(argv), environ),
            0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(outFds[1]);
        ::close(inFds[0]);

        std::string line;
        char c = 0;
        while (::read(outFds[0], &c, 1) == 1 && c != '\n') line += c;
        EXPECT_TRUE(Contains(line, "loop current fixed at 16.000 mA")) << way.how << ": " << line;
        EXPECT_EQ(State().fixedCurrent, 16.0f) << way.how;

        if (way.signal != 0) {
            ASSERT_EQ(::kill(pid, way.signal), 0);
        } else {
            ASSERT_EQ(::write(inFds[1], "\n", 1), 1);
        }
        std::string rest;
        while (::read(outFds[0], &c, 1) == 1) rest += c;
        ::close(outFds[0]);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ::close(inFds[1]);
        ASSERT_TRUE(WIFEXITED(status)) << way.how << ": ended by a signal";
        EXPECT_EQ(WEXITSTATUS(status), 0) << way.how;
        EXPECT_EQ(rest, "fixed-current mode left\n") << way.how;
        EXPECT_EQ(State().fixedCurrent, 0.0f) << way.how;
    }
}

// The trim ended by SIGINT or SIGTERM in each of its waits (the connection,
// the answers to the fix at 4 mA and to the trim, the settling after level
// 0): the program always ends normally with the loop following the PV.
TEST_F(CalibrationCommandsTest, TrimDacLeavesFixedModeWhateverSignalEndsAWait) {
    struct Wait {
        const char* name;
        int command;    // the answer the signal goes with
        float level;    // command 40's level, when it is 40
        int exitCode;   // the trim is only done when the close was interrupted
    };
    const Wait waits[] = {
        {"connection", 0, 0.0f, 1},
        {"fixed at 4 mA", 40, 4.0f, 1},
        {"trim", 45, 0.0f, 1},
        {"level 0 settling", 40, 0.0f, 0},
    };
    std::atomic<pid_t> target{0};
    std::atomic<int> signal{0};
    std::atomic<int> aimCommand{-1};
    std::atomic<float> aimLevel{0.0f};
    Start(sim::SimDevice{}, [&](const sim::SimReply& reply) {
        const Answered a = ParseAnswer(reply.bytes);
        if (a.command != aimCommand || target == 0) return;
        if (a.command == 40 && (a.data.size() < 4 || GetFloat(a.data.data()) != aimLevel)) return;
        ::kill(target.exchange(0), signal);
        // The answer leaves a little later, while the command still waits for it.
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    });
    for (int sig : {SIGINT, SIGTERM}) {
        for (const Wait& wait : waits) {
            SCOPED_TRACE(std::string(sig == SIGINT ? "SIGINT in " : "SIGTERM in ") + wait.name);
            aimCommand = wait.command;
            aimLevel = wait.level;
            signal = sig;
            Spawned child =
                SpawnCli({"trim-dac", "--port", port, "--point", "lower", "--measured", "4.1"});
            ASSERT_NE(child.pid, 0);
            target = child.pid;
            const auto [out, status] = child.Finish();
            EXPECT_EQ(target.exchange(0), 0) << "the signal was never sent";
            ASSERT_TRUE(WIFEXITED(status)) << "ended by the signal itself";
            EXPECT_EQ(WEXITSTATUS(status), wait.exitCode) << out;
            EXPECT_EQ(State().fixedCurrent, 0.0f);
            if (wait.command != 0) {
                EXPECT_TRUE(Contains(out, "fixed-current mode left\n")) << out;
            }
        }
    }
}

// The last line of what a command wrote on stderr.
std::string LastLine(const std::string& text) {
    const auto lines = test::Lines(text);
    return lines.empty() ? std::string() : lines.back();
}

// A level whose exchange is lost or refused may still have been carried out
// (here: the device already holds it): level 0 follows, tried again until
// answered or 10 s pass, and the last line says which.
TEST_F(CalibrationCommandsTest, LoopTestReleasesAfterItsLevelIsLostOrRefused) {
    struct Case {
        const char* how;
        int drops;       // answers to command 40 dropped, -1 every one
        int refuseWith;  // a response code for every command 40, 0 none
        bool released;
        const char* says;
    };
    const Case cases[] = {
        {"the level lost, level 0 answered", 4, 0, true, "level 12.5 mA was not answered on "},
        {"every level refused", 0, 16, false, "the device refused level 0 (response code 16; "},
        {"every answer lost", -1, 0, false, "level 0 was not answered ("},
    };
    for (const Case& c : cases) {
        Start();
        server->WithDevice([&](sim::SimDevice& d) {
            d.State().fixedCurrent = 12.5f;
            d.Faults().onlyCommand = 40;
            d.Faults().dropAnswer.remaining = c.drops;
            if (c.refuseWith != 0)
                d.Faults().responseCodeFor[40] = static_cast<std::uint8_t>(c.refuseWith);
        });
        const auto started = std::chrono::steady_clock::now();
        const auto r = Run({"loop-test", "--ma", "12.5", "--hold", "0"});
        const auto took = std::chrono::steady_clock::now() - started;
        EXPECT_EQ(r.code, 1) << c.how;
        const std::string last = LastLine(r.err);
        EXPECT_TRUE(Contains(last, c.says)) << c.how << ": " << r.err;
        if (c.released) {
            EXPECT_TRUE(Contains(last, "the loop was released (level 0 answered)")) << last;
            EXPECT_TRUE(Contains(r.out, "fixed-current mode left\n")) << r.out;
            EXPECT_EQ(State().fixedCurrent, 0.0f) << c.how;
        } else {
            EXPECT_TRUE(Contains(last, "the output may still be fixed at 12.500 mA")) << last;
            EXPECT_EQ(State().fixedCurrent, 12.5f) << c.how;
            // Tried for the whole bound, not once.
            EXPECT_GE(took, std::chrono::seconds(10)) << c.how;
        }
        server.reset();
    }
}

// While the level is held and while the trim is sent: a lost exchange ends
// the command with level 0 answered.
TEST_F(CalibrationCommandsTest, AnExchangeLostWhileTheOutputIsFixedEndsWithLevelZero) {
    struct Case {
        const char* how;
        std::vector<std::string> args;
        float level;                       // the fixed level after whose answer the fault starts
        std::optional<std::uint8_t> only;  // the command whose answers are lost; any when empty
        const char* says;
    };
    const Case cases[] = {
        {"an idle poll during loop-test",
         {"loop-test", "--ma", "16", "--hold", "30"},
         16.0f,
         std::nullopt,
         "an exchange with the device was lost while the level was held; "},
        {"the trim of trim-dac",
         {"trim-dac", "--point", "lower", "--measured", "4.1"},
         4.0f,
         45,
         "was lost during request 435; "},
    };
    for (const Case& c : cases) {
        std::atomic<bool> armed{true};
        sim::SimDevice* device = nullptr;
        // The faults are set from the server's own thread, under its lock.
        Start(sim::SimDevice{}, [&](const sim::SimReply& reply) {
            const Answered a = ParseAnswer(reply.bytes);
            if (!armed || a.command != 40 || a.data.size() < 4 ||
                GetFloat(a.data.data()) != c.level) {
                return;
            }
            armed = false;
            device->Faults().onlyCommand = c.only;
            device->Faults().dropAnswer.remaining = 4;
        });
        server->WithDevice([&](sim::SimDevice& d) { device = &d; });
        std::vector<std::string> args = c.args;
        const auto r = Run(args);
        EXPECT_FALSE(armed) << c.how;
        EXPECT_EQ(r.code, 1) << c.how << ": " << r.err;
        const std::string last = LastLine(r.err);
        EXPECT_TRUE(Contains(last, c.says)) << c.how << ": " << r.err;
        EXPECT_TRUE(Contains(last, "the loop was released")) << c.how << ": " << last;
        EXPECT_TRUE(Contains(r.out, "fixed-current mode left\n")) << r.out;
        EXPECT_EQ(State().fixedCurrent, 0.0f) << c.how;
        server.reset();
    }
}

// Every value the command line sends passes the entry rules of its panel;
// a value they refuse is a wrong command line, and nothing reaches the device.
TEST_F(CalibrationCommandsTest, ValuesTheEntriesRefuseSendNothingAndExitTwo) {
    sim::SimDevice device;
    device.State().sensorTrim[0].zeroPoint = 1.5f;
    device.State().leadWireResistance = 0.2f;
    Start(std::move(device));
    const struct {
        std::vector<std::string> args;
        const char* said;
    } rows[] = {
        {{"loop-test", "--ma", "nan", "--hold", "0"}, "--ma nan is not a decimal number"},
        {{"loop-test", "--ma", "0x10", "--hold", "0"}, "--ma 0x10 is not a decimal number"},
        {{"loop-test", "--ma", "1.2e1", "--hold", "0"}, "--ma 1.2e1 is not a decimal number"},
        {{"loop-test", "--ma", "inf", "--hold", "0"}, "--ma inf is not a decimal number"},
        {{"loop-test", "--ma", "-", "--hold", "0"}, "--ma - is not a decimal number"},
        {{"loop-test", "--ma", "22.01", "--hold", "0"}, "--ma 22.01 is outside 3.8 to 22 mA"},
        {{"trim-dac", "--point", "upper", "--measured", "nan"}, "--measured nan is not a decimal"},
        {{"trim-dac", "--point", "upper", "--measured", "20.21"}, "outside 19.8 to 20.2 mA"},
        {{"wire-resistance", "--calibrate", "5000"}, "--calibrate 5000 is outside 0 to 4000 ohms"},
        {{"wire-resistance", "--calibrate", "0x64"}, "--calibrate 0x64 is not a decimal number"},
        {{"wire-resistance", "--set", "nan"}, "--set nan is not a decimal number"},
        {{"sensor-cal", "--kind", "zero", "--value", "1e2"}, "--value 1e2 is not a decimal"},
    };
    for (const auto& row : rows) {
        const std::uint64_t before = server->RequestCount();
        const auto r = Run(row.args);
        EXPECT_EQ(r.code, 2) << row.said << ": " << r.err;
        EXPECT_TRUE(Contains(r.err, row.said)) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(server->RequestCount(), before) << row.said;
    }
    const sim::SimState s = State();
    EXPECT_EQ(s.fixedCurrent, 0.0f);
    EXPECT_FLOAT_EQ(s.sensorTrim[0].zeroPoint, 1.5f);
    EXPECT_FLOAT_EQ(s.leadWireResistance, 0.2f);

    // The level as typed goes out as typed.
    const auto r = Run({"loop-test", "--ma", "3.8", "--hold", "0"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "loop current fixed at 3.800 mA")) << r.out;
}

TEST_F(CalibrationCommandsTest, StatusNamesSetBitsThatHaveNoLabel) {
    Start();
    const struct {
        std::array<std::uint8_t, 6> bytes;
        const char* out;
    } rows[] = {
        {{0x20, 0, 0, 0, 0, 0}, "byte 0 bit 5: (no label)\n"},
        {{0, 0, 0x30, 0x44, 0, 0},
         "byte 2 bit 4: (no label)\nbyte 2 bit 5: (no label)\n"
         "byte 3 bit 2: (no label)\nbyte 3 bit 6: (no label)\n"},
        {{0, 0x01, 0, 0, 0, 0x80}, "byte 1 bit 0: (no label)\nbyte 5 bit 7: (no label)\n"},
    };
    for (const auto& row : rows) {
        server->WithDevice([&](sim::SimDevice& d) { d.State().additionalStatus = row.bytes; });
        auto r = Run({"status"});
        EXPECT_EQ(r.code, kExitStatusSet) << r.err;
        EXPECT_EQ(r.out, row.out);
        r = Run({"self-test"});
        EXPECT_EQ(r.code, kExitStatusSet) << r.err;
        EXPECT_EQ(r.out, std::string("self test done\n") + row.out);
    }
}

}  // namespace
}  // namespace qt40::cli
