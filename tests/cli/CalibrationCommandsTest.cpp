// The calibration and maintenance commands against the simulator on a
// pseudo-terminal, checked on what the device ends up holding.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/CalibrationCommands.h"
#include "cli/CliApp.h"
#include "sim/SimPtyServer.h"

extern char** environ;

namespace qt40::cli {
namespace {

struct RunResult {
    int code = -1;
    std::string out;
    std::string err;
};

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class CalibrationCommandsTest : public ::testing::Test {
protected:
    void Start(sim::SimDevice device = sim::SimDevice{}) {
        server = std::make_unique<sim::SimPtyServer>(std::move(device));
        ASSERT_TRUE(server->Start()) << server->LastError();
        port = server->SlavePath();
    }

    RunResult Run(std::vector<std::string> args) {
        args.insert(args.begin() + 1, {"--port", port});
        std::ostringstream out, err;
        CliApp app(out, err);
        LinkTiming t = LinkTiming::Fast();
        t.answerTimeoutMs = 300;
        t.interByteTimeoutMs = 200;
        app.SetTiming(t, 0);
        RunResult r;
        r.code = app.Run(args);
        r.out = out.str();
        r.err = err.str();
        return r;
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
        {"lower", "4.21", 1, -0.1f, 0.15f},  // refused before anything is sent
    };
    for (const auto& row : rows) {
        const auto r = Run({"trim-dac", "--point", row.point, "--measured", row.measured});
        EXPECT_EQ(r.code, row.code) << row.point << ' ' << row.measured << ": " << r.err;
        const sim::SimState s = State();
        EXPECT_NEAR(s.dacZeroTrim, row.zeroTrim, 1e-4) << row.measured;
        EXPECT_NEAR(s.dacGainTrim, row.gainTrim, 1e-4) << row.measured;
        // Whatever happened, the output follows the PV again.
        EXPECT_EQ(s.fixedCurrent, 0.0f) << row.measured;
        EXPECT_TRUE(Contains(r.out, "fixed-current mode left\n")) << r.out;
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
    EXPECT_EQ(r.code, 1);
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
        {{"wire-resistance", "--set", "20.01"}, 1, "--set 20.01 is outside 0 to 20 ohms", 10.7f},
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
              "byte 4 bit 5: ADC Module Communication Error (ADC and CJC Sensor Error)\n");

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

}  // namespace
}  // namespace qt40::cli
