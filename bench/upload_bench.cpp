// A full upload (18 commands) against the simulator paced like a
// 1200 bit/s loop, compared with what the loop itself needs: every byte of
// the 18 exchanges at 11 bits, plus the simulator's turnaround per answer.

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/BenchRig.h"
#include "link/RequestTable.h"
#include "sim/SimPtyServer.h"

using namespace qt40;

int main() {
    sim::SimPtyOptions options;
    options.realtime = true;
    options.turnaroundMs = 20;
    sim::SimPtyServer server(sim::SimDevice{}, options);
    if (!server.Start()) {
        std::fprintf(stderr, "upload_bench: %s\n", server.LastError().c_str());
        return 1;
    }
    constexpr int kRounds = 3;
    std::vector<double> ratios;
    std::printf(
        "upload_bench: full upload, simulator paced at %d bit/s, %d bits a byte, "
        "turnaround %d ms\n",
        options.bitsPerSecond, options.bitsPerByte, options.turnaroundMs);
    for (int round = 0; round < kRounds; ++round) {
        bench::BenchRig rig(server.SlavePath());
        if (rig.controller.Connect() != kCommSuccess) {
            std::fprintf(stderr, "upload_bench: cannot open %s: %s\n", server.SlavePath().c_str(),
                         rig.link.LastError().c_str());
            return 1;
        }
        // Identification first, then time the upload alone.
        std::chrono::steady_clock::time_point start;
        double seconds = 0;
        rig.onNotification = [&](const Notification& n) {
            if (n.Completes(WorkerRequest::Identify)) {
                rig.trace.Reset();
                start = std::chrono::steady_clock::now();
            } else if (n.Completes(WorkerRequest::Upload)) {
                seconds = bench::SecondsSince(start);
            }
        };
        if (!rig.PumpUntil([&] { return seconds > 0 || !rig.controller.Connected(); }) ||
            seconds == 0 || rig.lastNotification.result != kCommSuccess) {
            std::fprintf(stderr, "upload_bench: the upload did not finish (%d, %d)\n",
                         CodeOf(rig.lastNotification.request),
                         static_cast<int>(rig.lastNotification.result));
            return 1;
        }
        const auto bytes = rig.trace.txBytes + rig.trace.rxBytes;
        const double bound =
            static_cast<double>(bytes) * options.bitsPerByte / options.bitsPerSecond +
            static_cast<double>(rig.trace.exchanges) * options.turnaroundMs / 1000.0;
        ratios.push_back(seconds / bound);
        std::printf(
            "  round %d: %llu exchanges, %llu bytes on the line, %.3f s measured, "
            "%.3f s bus-time bound, ratio %.2f\n",
            round + 1, static_cast<unsigned long long>(rig.trace.exchanges),
            static_cast<unsigned long long>(bytes), seconds, bound, seconds / bound);
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("upload_bench: ratio measured / bus-time bound, median %.2f (min %.2f, max %.2f)\n",
                ratios[ratios.size() / 2], ratios.front(), ratios.back());
    return 0;
}
