// `upload --out FILE` killed with SIGKILL at random moments while FILE holds
// an older configuration: FILE is always the old or the new file, never a
// mix, and a later save succeeds and leaves no temporary file behind.
//
// The simulator is the command-line tool's own `sim` in a process of its
// own. Each upload is the tool's upload command in a forked child (with the
// short link timing tests use, so that 200 runs take seconds, not minutes);
// the last save is the real executable.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/CliApp.h"
#include "base/LinkTiming.h"
#include "tests/cli/CliRun.h"

extern char** environ;

namespace qt40::cli {
namespace {

using test::Slurp;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::vector<std::string> Leftovers(const fs::path& folder, const std::string& keep) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name != keep) names.push_back(name);
    }
    return names;
}

// `qt40cfg-cli sim` with a tag chosen by the test, in a process of its own.
class SimProcess {
public:
    bool Start() {
        int fds[2];
        if (::pipe(fds) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        const char* argv[] = {QT40_CLI_EXE, "sim", nullptr};
        const int spawned = ::posix_spawn(&pid_, QT40_CLI_EXE, &actions, nullptr,
                                          const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (spawned != 0) return false;
        char c = 0;
        while (::read(fds[0], &c, 1) == 1 && c != '\n') path_ += c;
        ::close(fds[0]);
        return !path_.empty();
    }
    ~SimProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& Path() const { return path_; }

private:
    pid_t pid_ = -1;
    std::string path_;
};

LinkTiming ChildTiming() {
    LinkTiming t = LinkTiming::Fast();
    t.answerTimeoutMs = 300;
    t.interByteTimeoutMs = 200;
    return t;
}

// The upload command in a child process; its pid.
pid_t StartUpload(const std::string& port, const std::string& file) {
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    std::ostringstream out;
    std::ostringstream err;
    CliApp app(out, err);
    app.SetTiming(ChildTiming(), 0);
    ::_exit(app.Run({"upload", "--port", port, "--out", file}));
}

int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

TEST(SaveKilled, TheFileIsAlwaysTheOldOrTheNewOneAndALaterSaveCleansUp) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start());
    QTemporaryDir dir;
    const fs::path folder = dir.path().toStdString();
    const fs::path file = folder / "plant.cfg";

    // The new file, as an undisturbed upload writes it (twice: it must not vary).
    const auto begin = Clock::now();
    int status = Wait(StartUpload(sim.Path(), file.string()));
    const auto whole = Clock::now() - begin;
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::string fresh = Slurp(file);
    ASSERT_EQ(Wait(StartUpload(sim.Path(), file.string())), 0);
    ASSERT_EQ(Slurp(file), fresh);
    ASSERT_GT(fresh.size(), 100u);

    // An older configuration in its place.
    std::string old = fresh;
    const auto tag = old.find("TT-101");
    ASSERT_NE(tag, std::string::npos);
    old.replace(tag, 6, "OLD-01");

    const int runs = std::getenv("QT40_SAVE_KILLS") ? std::atoi(std::getenv("QT40_SAVE_KILLS")) : 200;
    std::mt19937 random(20261207);
    // Most moments fall on the upload, which must not touch the file; the
    // rest close in on the end, where the file is saved.
    const auto wholeUs = std::chrono::duration_cast<std::chrono::microseconds>(whole).count();
    std::uniform_int_distribution<long long> anywhere(0, wholeUs * 11 / 10);
    std::uniform_int_distribution<long long> nearEnd(wholeUs * 8 / 10, wholeUs * 11 / 10);
    int keptOld = 0;
    int tookNew = 0;
    int killedInSave = 0;
    for (int i = 0; i < runs; ++i) {
        {
            std::ofstream out(file, std::ios::binary | std::ios::trunc);
            out << old;
        }
        const auto before = Leftovers(folder, "plant.cfg").size();
        const long long at = i % 2 ? anywhere(random) : nearEnd(random);
        const pid_t pid = StartUpload(sim.Path(), file.string());
        std::this_thread::sleep_for(std::chrono::microseconds(at));
        ::kill(pid, SIGKILL);
        Wait(pid);

        const std::string now = Slurp(file);
        ASSERT_TRUE(now == old || now == fresh)
            << "run " << i << ", killed after " << at << " us: the file is a mix of "
            << now.size() << " bytes";
        (now == old ? keptOld : tookNew) += 1;
        killedInSave += Leftovers(folder, "plant.cfg").size() > before;
    }
    std::cout << "[          ] " << runs << " kills: " << keptOld << " left the old file, " << tookNew
              << " the new one, " << killedInSave << " hit a save half-way (upload took "
              << wholeUs / 1000 << " ms)\n";

    // The real executable saves once more: the new file, and nothing else left.
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << old;
    }
    const char* argv[] = {QT40_CLI_EXE, "upload", "--port", sim.Path().c_str(), "--out",
                          file.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, QT40_CLI_EXE, &actions, nullptr, const_cast<char**>(argv), environ),
              0);
    posix_spawn_file_actions_destroy(&actions);
    status = Wait(pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Slurp(file), fresh);
    EXPECT_EQ(Leftovers(folder, "plant.cfg"), std::vector<std::string>{});
}

}  // namespace
}  // namespace qt40::cli
