// Processor time the program spends while it only polls (commands 3, 2, 48
// every 200 ms of idleness), scaled to one minute. The simulator runs in a
// child process so that its own work is not counted.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "bench/BenchRig.h"
#include "link/RequestTable.h"
#include "sim/SimPtyServer.h"

using namespace qt40;

namespace {

constexpr int kMeasureSeconds = 20;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto s = [](const timeval& tv) { return tv.tv_sec + tv.tv_usec / 1e6; };
    return s(usage.ru_utime) + s(usage.ru_stime);
}

// Child: serve until the parent closes its end of `control`.
[[noreturn]] void ServeInChild(int pathOut, int control) {
    sim::SimPtyOptions options;
    options.realtime = true;
    sim::SimPtyServer server(sim::SimDevice{}, options);
    const std::string path = server.Start() ? server.SlavePath() + "\n" : "\n";
    (void)!write(pathOut, path.data(), path.size());
    close(pathOut);
    char c;
    while (read(control, &c, 1) > 0) {
    }
    server.Stop();
    _exit(0);
}

}  // namespace

int main() {
    int pathPipe[2];
    int controlPipe[2];
    if (pipe(pathPipe) != 0 || pipe(controlPipe) != 0) return 1;
    const pid_t child = fork();  // before any thread of ours exists
    if (child < 0) return 1;
    if (child == 0) {
        close(pathPipe[0]);
        close(controlPipe[1]);
        ServeInChild(pathPipe[1], controlPipe[0]);
    }
    close(pathPipe[1]);
    close(controlPipe[0]);
    std::string path;
    char c;
    while (read(pathPipe[0], &c, 1) == 1 && c != '\n') path += c;
    close(pathPipe[0]);

    int status = 1;
    {
        bench::BenchRig rig(path);
        if (path.empty() || rig.controller.Connect() != kCommSuccess ||
            !rig.PumpUntil([&] { return rig.view.established || !rig.controller.Connected(); }) ||
            !rig.view.established) {
            std::fprintf(stderr, "idle_poll_bench: cannot connect to the simulator\n");
        } else {
            const long pollsBefore = rig.view.polls;
            const double cpuBefore = CpuSeconds();
            const auto start = std::chrono::steady_clock::now();
            rig.PumpUntil([] { return false; }, kMeasureSeconds * 1000);
            const double wall = bench::SecondsSince(start);
            const double cpu = CpuSeconds() - cpuBefore;
            const long polls = rig.view.polls - pollsBefore;
            std::printf(
                "idle_poll_bench: %ld poll cycles in %.1f s, %.1f ms processor time, "
                "%.1f ms a minute of idle polling (%.3f %% of one core)\n",
                polls, wall, cpu * 1000, cpu * 1000 * 60 / wall, cpu / wall * 100);
            status = rig.view.failures == 0 ? 0 : 1;
        }
    }
    close(controlPipe[1]);
    waitpid(child, nullptr, 0);
    return status;
}
