// A search over the 16 polling addresses with nobody answering: how long the
// technician waits before "Err_Not_Device". Each address costs one send plus
// the 200 ms search time-out of silence, after the 80 ms quiet line.

#include <cstdio>

#include "bench/BenchRig.h"
#include "sim/SimPtyServer.h"

using namespace qt40;

int main() {
    sim::SimPtyOptions options;
    options.realtime = true;
    // A device that never answers: every answer is dropped.
    sim::SimDevice device;
    device.Faults().dropAnswer.remaining = -1;
    sim::SimPtyServer server(std::move(device), options);
    if (!server.Start()) {
        std::fprintf(stderr, "search_bench: %s\n", server.LastError().c_str());
        return 1;
    }
    bench::BenchRig rig(server.SlavePath());
    const auto start = std::chrono::steady_clock::now();
    rig.controller.SearchDevice();  // from address 0; reconnect pause set to 0
    if (!rig.PumpUntil([&] { return rig.prompts.lastKey == "Err_Not_Device"; })) {
        std::fprintf(stderr, "search_bench: the search did not end\n");
        return 1;
    }
    const double seconds = bench::SecondsSince(start);
    const LinkTiming t;
    const double perAddressBound =
        (t.quietLineMs + t.TransmitMs(static_cast<int>(rig.trace.txBytes / 16)) +
         t.searchAnswerTimeoutMs) /
        1000.0;
    std::printf(
        "search_bench: 16 empty addresses in %.3f s, %.3f s an address "
        "(quiet line + send + %d ms silence = %.3f s)\n",
        seconds, seconds / 16, t.searchAnswerTimeoutMs, perAddressBound);
    return 0;
}
