#pragma once
// `qt40cfg-cli sim ...` as a process of its own, as a technician starts it:
// the first lines it prints (the pseudo-terminal's path, or the gateway's
// URLs) and its exit once it is told to stop. POSIX only.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace qt40::test {

class SimProcess {
public:
    // Starts `QT40_CLI_EXE sim ARGS` and reads the first `lines` lines it prints.
    SimProcess(const std::vector<std::string>& args, int lines) {
        std::vector<std::string> all{QT40_CLI_EXE, "sim"};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        int fds[2];
        if (::pipe(fds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        if (::posix_spawn(&pid_, QT40_CLI_EXE, &actions, nullptr, argv.data(), environ) != 0) pid_ = 0;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        for (int i = 0; i < lines && pid_ > 0; ++i) {
            std::string line;
            char c = 0;
            while (::read(fds[0], &c, 1) == 1 && c != '\n') line += c;
            printed.push_back(line);
        }
        ::close(fds[0]);
    }
    ~SimProcess() { End(SIGTERM); }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool Started() const { return pid_ > 0 && !printed.empty() && !printed.back().empty(); }

    // Stops it as a technician does (SIGTERM); the wait status, -1 when it
    // was not running.
    int Terminate() { return End(SIGTERM); }
    // Ends it without a word to anyone, as a gateway that loses its power.
    void Kill() { End(SIGKILL); }

    std::vector<std::string> printed;

private:
    int End(int signal) {
        if (pid_ <= 0) return -1;
        ::kill(pid_, signal);
        int status = 0;
        if (::waitpid(pid_, &status, 0) != pid_) status = -1;
        pid_ = 0;
        return status;
    }
    pid_t pid_ = 0;
};

}  // namespace qt40::test
