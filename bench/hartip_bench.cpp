// The 19 exchanges of a connection and upload over HART-IP on the loopback
// against the simulator's server: answered at once, and answered 300 ms after
// each request, as a gateway that has to reach its loop. The second is held
// to 19 x 300 ms, what the gateway alone costs. First the client alone, then
// as the program runs it: the connection through the link and the worker
// (the headless connection the command-line tool uses).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "procedures/HeadlessConnection.h"
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
        DeviceState session;
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

// When the first request left and the answers came, on the worker thread.
class ExchangeTimes final : public LinkObserver {
public:
    using Time = std::chrono::steady_clock::time_point;
    void RequestSent(std::span<const std::uint8_t>, int) override {
        std::lock_guard lock(mutex_);
        if (!first_) first_ = std::chrono::steady_clock::now();
    }
    void RequestNotSent(std::span<const std::uint8_t>, int, SendFailure) override {}
    void ReceiveEnded(std::span<const std::uint8_t>, int, ReceiveEnd end) override {
        std::lock_guard lock(mutex_);
        ends_.push_back(std::chrono::steady_clock::now());
        if (end != ReceiveEnd::Answer) ++failed_;
    }
    // Seconds from the first request to the 19th answer; negative when there was none.
    double UploadSeconds() {
        std::lock_guard lock(mutex_);
        if (!first_ || ends_.size() < 19 || failed_ > 0) return -1;
        return std::chrono::duration<double>(ends_[18] - *first_).count();
    }

private:
    std::mutex mutex_;
    std::optional<Time> first_;
    std::vector<Time> ends_;
    int failed_ = 0;
};

// Seconds of each round's connection (session, identification, upload,
// polling started) through the headless connection, and of its 19 exchanges.
bool MeasureConnection(sim::SimHartIpServer& server, HartIpProtocol protocol, int rounds,
                       std::vector<double>& connect, std::vector<double>& exchanges) {
    for (int round = 0; round < rounds; ++round) {
        ExchangeTimes times;
        HeadlessConnection::Options o;
        o.port = server.Endpoint(protocol).Url();
        o.observer = &times;
        std::ostringstream out;
        HeadlessConnection connection(o, out, [] { return false; });
        const auto start = std::chrono::steady_clock::now();
        const ConnectionOutcome outcome = connection.Connect(0);
        connect.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        connection.Disconnect();
        exchanges.push_back(times.UploadSeconds());
        if (!outcome.ok || exchanges.back() < 0) {
            std::fprintf(stderr, "hartip_bench: %s\n", outcome.ok ? "an exchange failed" : outcome.error.c_str());
            return false;
        }
    }
    return true;
}

void Print(const char* name, int rounds, const Spread& s, int latencyMs) {
    std::printf("  %-40s %2d rounds: median %8.3f ms (min %.3f, max %.3f), %.3f ms an exchange", name,
                rounds, s.median * 1000, s.min * 1000, s.max * 1000, s.median * 1000 / 19);
    if (latencyMs > 0) {
        const double bound = 19 * latencyMs / 1000.0;
        std::printf(", ratio to 19 x %d ms: %.4f (max %.4f)", latencyMs, s.median / bound, s.max / bound);
    }
    std::printf("\n");
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
        Print(c.name, c.rounds, Of(seconds), c.latencyMs);
    }

    std::printf("hartip_bench: the same through the link and the worker (connect: the session, the "
                "identification, the upload, polling started; upload: its 19 exchanges)\n");
    const Case linked[] = {
        {"TCP, answered at once", HartIpProtocol::Tcp, 0, 21},
        {"TCP, gateway latency 300 ms", HartIpProtocol::Tcp, 300, 5},
    };
    for (const Case& c : linked) {
        server.SetLatency(c.latencyMs);
        std::vector<double> connect;
        std::vector<double> exchanges;
        if (!MeasureConnection(server, c.protocol, c.rounds, connect, exchanges)) return 1;
        Print((std::string(c.name) + ", upload").c_str(), c.rounds, Of(exchanges), c.latencyMs);
        Print((std::string(c.name) + ", connect").c_str(), c.rounds, Of(connect), c.latencyMs);
    }
    return 0;
}
