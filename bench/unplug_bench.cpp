// How long after a modem is pulled out the program names the vanished port:
// the simulator's pseudo-terminal is closed under a connection that polls
// (a real hang-up: the kernel fails every call on the port with EIO from
// then on), at a spread of moments in the poll cycle (between polls, in the
// quiet line, waiting for an answer). Real link timing throughout.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "bench/BenchRig.h"
#include "sim/SimPtyServer.h"

using namespace qt40;

int main() {
    constexpr int kRounds = 10;
    std::vector<double> latencies;
    int vanished = 0;
    for (int round = 0; round < kRounds; ++round) {
        sim::SimPtyServer server;
        if (!server.Start()) {
            std::fprintf(stderr, "no pseudo-terminal: %s\n", server.LastError().c_str());
            return 1;
        }
        bench::BenchRig rig(server.SlavePath());
        if (rig.controller.Connect() != kCommSuccess ||
            !rig.PumpUntil([&] { return rig.view.polls >= 2; })) {
            std::fprintf(stderr, "round %d: no connection\n", round);
            return 1;
        }
        // Somewhere in the poll cycle (three exchanges of about 300 ms, then 200 ms idle).
        std::this_thread::sleep_for(std::chrono::milliseconds(round * 1100 / kRounds));
        const auto pulled = std::chrono::steady_clock::now();
        server.Stop();
        if (!rig.PumpUntil([&] { return !rig.prompts.lastKey.empty(); }, 30000)) {
            std::fprintf(stderr, "round %d: nothing said within 30 s\n", round);
            return 1;
        }
        latencies.push_back(bench::SecondsSince(pulled) * 1000.0);
        vanished += rig.prompts.lastKey == "Err_Port_Vanished";
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("unplug_bench: port pulled under a polling connection, %d rounds\n", kRounds);
    std::printf("  named as vanished: %d of %d\n", vanished, kRounds);
    std::printf("  from the hang-up to the question: min %.0f ms, median %.0f ms, max %.0f ms\n",
                latencies.front(), latencies[latencies.size() / 2], latencies.back());
    return vanished == kRounds ? 0 : 1;
}
