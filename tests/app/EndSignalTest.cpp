// The window program told to end by the system (kill's SIGTERM, a closed
// session's SIGHUP) while the loop-check dialog, the analog output panel or
// the Trim DAC panel holds the loop at a fixed current: it sends level 0,
// waits for the answer, and quits normally. Run as its own process against
// the simulator on a pseudo-terminal.

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QTemporaryDir>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "sim/SimPtyServer.h"

namespace qt40 {
namespace {

using Clock = std::chrono::steady_clock;

// Polls `done` for up to `seconds`.
template <class F>
bool WaitUntil(F done, int seconds) {
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

TEST(EndSignalTest, SigtermAndSighupLeaveTheLoopAtLevelZeroWhateverHoldsIt) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    for (const char* hold : {"loop-check", "analog-output", "trim-dac"}) {
        for (int signal : {SIGTERM, SIGHUP}) {
            SCOPED_TRACE(std::string(hold) + (signal == SIGTERM ? ", SIGTERM" : ", SIGHUP"));
            sim::SimPtyServer server;
            ASSERT_TRUE(server.Start()) << server.LastError();
            const auto level = [&] {
                return server.WithDevice([](sim::SimDevice& d) { return d.State().fixedCurrent; });
            };
            std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen",
                                            "HOME=" + home.path().toStdString(),
                                            "XDG_CONFIG_HOME=" + home.path().toStdString(),
                                            std::string("QT40CFG_TEST_HOLD=") + hold};
            std::vector<char*> envp;
            for (auto& e : env) envp.push_back(e.data());
            envp.push_back(nullptr);
            std::vector<std::string> args = {QT40CFG_EXE, "--port", server.SlavePath()};
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            pid_t pid = 0;
            ASSERT_EQ(::posix_spawn(&pid, QT40CFG_EXE, nullptr, nullptr, argv.data(), envp.data()),
                      0);

            const bool held = WaitUntil([&] { return level() != 0.0f; }, 30);
            EXPECT_TRUE(held) << "the loop was never fixed";
            ASSERT_EQ(::kill(pid, signal), 0);
            int status = 0;
            const bool ended =
                WaitUntil([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 40);
            if (!ended) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
            }
            EXPECT_TRUE(ended) << "still running 40 s after the signal";
            EXPECT_TRUE(WIFEXITED(status)) << "ended by the signal itself";
            EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
            EXPECT_EQ(level(), 0.0f);
        }
    }
}

}  // namespace
}  // namespace qt40
