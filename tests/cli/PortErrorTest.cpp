// A port that will not open: the command-line tool says why and what to do.
// Permissions do not stop root, so the tool runs as "nobody" when the test
// runs as root (as CI does).

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliApp.h"
#include "transport/PortOpenAdvice.h"
#include "transport/PosixSerialPort.h"
#include "sim/SimPtyServer.h"

extern char** environ;

namespace qt40::cli {
namespace {

struct ProcessRun {
    int code = -1;
    std::string err;
};

// The tool as its own process; as an unprivileged user when we are root.
ProcessRun RunUnprivileged(const std::vector<std::string>& args) {
    std::vector<std::string> command;
    if (::geteuid() == 0) {
        command = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
    }
    command.push_back(QT40_CLI_EXE);
    command.insert(command.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : command) argv.push_back(a.data());
    argv.push_back(nullptr);

    int fds[2];
    if (::pipe(fds) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    ProcessRun run;
    if (spawned != 0) {
        ::close(fds[0]);
        run.err = "cannot start " + command.front();
        return run;
    }
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) run.err.append(buffer, n);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string GroupOf(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return {};
    const group* g = st.st_gid != 0 ? ::getgrgid(st.st_gid) : nullptr;
    return g ? g->gr_name : "dialout";
}

class PortErrorTest : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = std::make_unique<sim::SimPtyServer>(sim::SimDevice{});
        ASSERT_TRUE(server_->Start()) << server_->LastError();
        port_ = server_->SlavePath();
    }
    void TearDown() override { server_->Stop(); }

    std::unique_ptr<sim::SimPtyServer> server_;
    std::string port_;
};

TEST_F(PortErrorTest, EachFailureNamesThePortAndWhatToDo) {
    PosixSerialPort holder;
    struct Row {
        const char* name;
        std::function<void()> arrange;
        std::vector<std::string> args;
        std::vector<std::string> says;
    };
    const std::string missing = "/dev/qt40-no-such-port";
    const std::vector<Row> rows = {
        {"missing",
         [] {},
         {"identify", "--port", missing},
         {"There is no port " + missing + ".", "Plug in the HART modem"}},
        {"missing while searching",
         [] {},
         {"search", "--port", missing, "--from", "3"},
         {"There is no port " + missing + "."}},
        {"no permission",
         [&] { ASSERT_EQ(::chmod(port_.c_str(), 0), 0); },
         {"identify", "--port", port_},
         {"You may not open " + port_ + ".",
          "Add your user to the group " + GroupOf(port_) + " (sudo usermod -aG " + GroupOf(port_)}},
        {"held by another program",
         [&] {
             ASSERT_EQ(::chmod(port_.c_str(), 0666), 0);
             ASSERT_TRUE(holder.Open(port_, 100)) << holder.LastError();
         },
         {"upload", "--port", port_},
         {port_ + " is in use by another program.", "Close that program"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.arrange();
        const ProcessRun run = RunUnprivileged(row.args);
        EXPECT_EQ(run.code, kExitFailed) << run.err;
        EXPECT_EQ(run.err.rfind("qt40cfg-cli: ", 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        for (const std::string& part : row.says) {
            EXPECT_NE(run.err.find(part), std::string::npos) << part << "\nin: " << run.err;
        }
    }
}

TEST_F(PortErrorTest, APortHeldOpenIsRefusedEvenToRoot) {
    // The lock binds every user; the exclusive mode alone would let root in.
    PosixSerialPort holder;
    ASSERT_TRUE(holder.Open(port_, 100)) << holder.LastError();
    PosixSerialPort second;
    EXPECT_FALSE(second.Open(port_, 100));
    EXPECT_EQ(second.LastOpenError().kind, OpenFailure::Busy);
    EXPECT_EQ(second.LastOpenError().device, port_);

    std::ostringstream out, err;
    CliApp app(out, err);
    EXPECT_EQ(app.Run({"identify", "--port", port_}), kExitFailed);
    EXPECT_NE(err.str().find("is in use by another program"), std::string::npos) << err.str();

    // Once the holder lets go, the port opens again.
    holder.Close();
    EXPECT_TRUE(second.Open(port_, 100)) << second.LastError();
}

TEST(PortOpenAdviceTest, KindsWithAdviceAndTheirArguments) {
    struct Row {
        OpenError error;
        std::optional<std::string> key;
        MessageArgs args;
    };
    const std::vector<Row> rows = {
        {{OpenFailure::Missing, "/dev/ttyUSB3", ""}, "Err_Port_Missing", {"/dev/ttyUSB3"}},
        {{OpenFailure::Denied, "/dev/ttyS0", "uucp"},
         "Err_Port_Denied",
         {"/dev/ttyS0", "uucp", "uucp"}},
        // A group that could not be read: the one Debian gives serial ports.
        {{OpenFailure::Denied, "/dev/ttyS0", ""},
         "Err_Port_Denied",
         {"/dev/ttyS0", "dialout", "dialout"}},
        {{OpenFailure::Busy, "/dev/ttyACM0", ""}, "Err_Port_Busy", {"/dev/ttyACM0"}},
        {{OpenFailure::Other, "/dev/null", ""}, std::nullopt, {}},
        {{OpenFailure::None, "", ""}, std::nullopt, {}},
    };
    for (const Row& row : rows) {
        const auto advice = PortOpenAdvice(row.error);
        ASSERT_EQ(advice.has_value(), row.key.has_value()) << row.error.device;
        if (!advice) continue;
        EXPECT_EQ(advice->key, *row.key);
        EXPECT_EQ(advice->args, row.args);
    }
    EXPECT_EQ(PortAdviceEnglish({"Err_Port_Busy", {"/dev/ttyACM0"}}),
              "/dev/ttyACM0 is in use by another program. Close that program or its connection "
              "to the port, then retry.");
}

}  // namespace
}  // namespace qt40::cli

namespace qt40::cli {
namespace {

TEST(CliInformationTest, HelpAndVersionEndWithZero) {
    struct Row {
        std::vector<std::string> args;
        std::string says;
    };
    for (const Row& row : {Row{{"--version"}, "qt40cfg-cli "}, Row{{"--help"}, "identify"},
                           Row{{"identify", "--help"}, "--port"}}) {
        std::ostringstream out, err;
        CliApp app(out, err);
        EXPECT_EQ(app.Run(row.args), kExitOk) << err.str();
        EXPECT_NE(out.str().find(row.says), std::string::npos) << out.str();
        EXPECT_TRUE(err.str().empty()) << err.str();
    }
}

}  // namespace
}  // namespace qt40::cli
