// `qt40cfg-cli fleet backup` of many loops at once against the same backup of
// one loop alone: wall time, the ratio to the slowest single loop, and the
// resident memory of the command. Each loop is a simulator with K
// transmitters that answers every transaction after a turnaround.
//
//   fleet_bench [--kind pty] [--loops 32] [--devices 2] [--turnaround 300]
//               [--jobs 32] [--singles 2] [--cli PATH]
//
// --kind names the simulator behind each endpoint; today a pseudo-terminal
// (paced like a 1200 bit/s loop). Another kind joins in StartLoop().

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "sim/SimMultidrop.h"
#include "sim/SimPtyServer.h"

extern char** environ;

namespace {

using namespace qt40;
namespace fs = std::filesystem;

struct Settings {
    std::string kind = "pty";
    int loops = 32;
    int devices = 2;
    int turnaroundMs = 300;
    int jobs = 32;
    int singles = 2;  // loops timed alone; the slowest is the reference
    std::string cli = QT40_CLI_EXE;
};

// One simulated loop and the endpoint name the fleet opens it by.
struct SimLoop {
    std::unique_ptr<sim::SimMultidrop> devices;
    std::unique_ptr<sim::SimPtyServer> server;
    std::string endpoint;
};

std::unique_ptr<SimLoop> StartLoop(const Settings& s, int index) {
    auto loop = std::make_unique<SimLoop>();
    loop->devices = std::make_unique<sim::SimMultidrop>(sim::SimMultidrop::Plant(
        s.devices, 100000 + static_cast<std::uint32_t>(index * s.devices)));
    if (s.kind == "pty") {
        sim::SimPtyOptions options;
        options.realtime = true;
        options.turnaroundMs = s.turnaroundMs;
        loop->server = std::make_unique<sim::SimPtyServer>(loop->devices->Responder(), options);
        if (!loop->server->Start()) {
            std::fprintf(stderr, "fleet_bench: %s\n", loop->server->LastError().c_str());
            return nullptr;
        }
        loop->endpoint = loop->server->SlavePath();
        return loop;
    }
    std::fprintf(stderr, "fleet_bench: no simulator of kind %s in this build\n", s.kind.c_str());
    return nullptr;
}

struct Run {
    double seconds = 0;
    double maxRssMb = 0;
    int exitCode = -1;
    std::size_t files = 0;
    std::string lastProgress;
};

// `fleet backup` of `endpoints` in a child process, timed from spawn to exit.
Run Backup(const Settings& s, const std::vector<std::string>& endpoints, int jobs,
           const fs::path& work) {
    fs::remove_all(work);
    fs::create_directories(work);
    const fs::path targets = work / "targets.txt";
    {
        std::ofstream out(targets);
        for (const std::string& e : endpoints) out << e << " 1-" << s.devices << "\n";
    }
    const fs::path backup = work / "backup";
    const fs::path errors = work / "stderr.txt";
    const std::string jobsText = std::to_string(jobs);
    std::vector<std::string> args = {s.cli,        "fleet",  "backup", "--targets",
                                     targets.string(), "--out", backup.string(), "--jobs",
                                     jobsText};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    Run run;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        std::perror("fleet_bench: posix_spawn");
        posix_spawn_file_actions_destroy(&actions);
        return run;
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.maxRssMb = static_cast<double>(usage.ru_maxrss) / 1024.0;  // kB on Linux
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(backup, ec)) {
        run.files += entry.path().extension() == ".txt";
    }
    std::ifstream err(errors);
    for (std::string line; std::getline(err, line);) {
        if (!line.empty()) run.lastProgress = line;
    }
    return run;
}

std::string Load() {
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) != 3) return "unknown";
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %.2f %.2f", load[0], load[1], load[2]);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    Settings s;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const std::string value = argv[i + 1];
        if (key == "--kind") s.kind = value;
        else if (key == "--loops") s.loops = std::max(1, std::atoi(value.c_str()));
        else if (key == "--devices") s.devices = std::clamp(std::atoi(value.c_str()), 1, 15);
        else if (key == "--turnaround") s.turnaroundMs = std::max(0, std::atoi(value.c_str()));
        else if (key == "--jobs") s.jobs = std::max(1, std::atoi(value.c_str()));
        else if (key == "--singles") s.singles = std::max(1, std::atoi(value.c_str()));
        else if (key == "--cli") s.cli = value;
        else {
            std::fprintf(stderr, "fleet_bench: unknown option %s\n", key.c_str());
            return 2;
        }
    }
    std::vector<std::unique_ptr<SimLoop>> loops;
    std::vector<std::string> endpoints;
    for (int i = 0; i < s.loops; ++i) {
        loops.push_back(StartLoop(s, i));
        if (!loops.back()) return 1;
        endpoints.push_back(loops.back()->endpoint);
    }
    const fs::path work = fs::temp_directory_path() / ("qt40-fleet-bench-" + std::to_string(getpid()));
    std::printf("fleet_bench: %d %s loops x %d devices, turnaround %d ms a transaction, "
                "paced at 1200 bit/s; load average at start %s\n",
                s.loops, s.kind.c_str(), s.devices, s.turnaroundMs, Load().c_str());

    double slowestSingle = 0;
    for (int i = 0; i < std::min(s.singles, s.loops); ++i) {
        // Loops spread over the list, each alone.
        const int which = s.singles == 1 ? 0 : i * (s.loops - 1) / (std::min(s.singles, s.loops) - 1);
        const Run single = Backup(s, {endpoints[static_cast<std::size_t>(which)]}, 1, work / "single");
        std::printf("  loop %d alone: %.2f s, %zu files, exit %d, %.1f MB resident\n", which,
                    single.seconds, single.files, single.exitCode, single.maxRssMb);
        if (single.exitCode != 0) std::printf("    %s\n", single.lastProgress.c_str());
        slowestSingle = std::max(slowestSingle, single.seconds);
    }
    const Run fleet = Backup(s, endpoints, s.jobs, work / "fleet");
    std::printf("  %d loops with --jobs %d: %.2f s, %zu files, exit %d, %.1f MB resident\n",
                s.loops, s.jobs, fleet.seconds, fleet.files, fleet.exitCode, fleet.maxRssMb);
    std::printf("    %s\n", fleet.lastProgress.c_str());
    std::printf("fleet_bench: ratio to the slowest single loop %.3f (goal <= 1.2), resident "
                "memory %.1f MB (goal <= 60); load average at the end %s\n",
                fleet.seconds / slowestSingle, fleet.maxRssMb, Load().c_str());
    fs::remove_all(work);
    for (auto& loop : loops) loop->server->Stop();
    return fleet.exitCode == 0 && fleet.files == static_cast<std::size_t>(s.loops * s.devices) ? 0 : 1;
}
