// The 19 exchanges of a connection and upload over HART-IP on the loopback
// against the simulator's server: answered at once, and answered 300 ms after
// each request, as a gateway that has to reach its loop. The second is held
// to 19 x 300 ms, what the gateway alone costs.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "sim/SimHartIpServer.h"
#include "tests/transport/UploadSequence.h"
#include "transport/HartIpClient.h"

using namespace qt40;

namespace {

struct Spread {
    double median = 0, min = 0, max = 0;
};

Spread Of(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v.front(), v.back()};
}

// Seconds of each round's 19 exchanges; the session is opened before the clock starts.
bool Measure(sim::SimHartIpServer& server, HartIpProtocol protocol, int rounds,
             std::vector<double>& seconds) {
    for (int round = 0; round < rounds; ++round) {
        HartIpClient client;
        if (client.Open(server.Endpoint(protocol).Url()) != kCommSuccess) {
            std::fprintf(stderr, "hartip_bench: %s\n", client.LastError().c_str());
            return false;
        }
        HartSession session;
        const auto start = std::chrono::steady_clock::now();
        const testing::UploadRun run = testing::RunUpload(client, session, 3000);
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (run.accepted != 19) {
            std::fprintf(stderr, "hartip_bench: %s\n", run.failure.c_str());
            return false;
        }
    }
    return true;
}

}  // namespace

int main() {
    sim::SimDevice device;
    sim::SimHartIpOptions options;
    options.port = 0;
    sim::SimHartIpServer server(sim::DeviceResponder(device), options);
    if (!server.Start()) {
        std::fprintf(stderr, "hartip_bench: %s\n", server.LastError().c_str());
        return 1;
    }
    std::printf("hartip_bench: 19 exchanges (command 0 and the 18-command upload) on the loopback\n");
    struct Case {
        const char* name;
        HartIpProtocol protocol;
        int latencyMs;
        int rounds;
    };
    const Case cases[] = {
        {"TCP, answered at once", HartIpProtocol::Tcp, 0, 21},
        {"UDP, answered at once", HartIpProtocol::Udp, 0, 21},
        {"TCP, gateway latency 300 ms", HartIpProtocol::Tcp, 300, 5},
        {"UDP, gateway latency 300 ms", HartIpProtocol::Udp, 300, 3},
    };
    for (const Case& c : cases) {
        server.SetLatency(c.latencyMs);
        std::vector<double> seconds;
        if (!Measure(server, c.protocol, c.rounds, seconds)) return 1;
        const Spread s = Of(seconds);
        std::printf("  %-28s %2d rounds: median %8.3f ms (min %.3f, max %.3f), %.3f ms an exchange",
                    c.name, c.rounds, s.median * 1000, s.min * 1000, s.max * 1000, s.median * 1000 / 19);
        if (c.latencyMs > 0) {
            const double bound = 19 * c.latencyMs / 1000.0;
            std::printf(", ratio to 19 x %d ms: %.4f (max %.4f)", c.latencyMs, s.median / bound, s.max / bound);
        }
        std::printf("\n");
    }
    return 0;
}
