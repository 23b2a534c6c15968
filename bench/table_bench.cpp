// Writing and then reading a 250-point custom TC table against the simulator
// paced like a 1200 bit/s loop, compared with what the loop itself needs:
// every byte of the same exchanges at 11 bits, the simulator's turnaround
// per answer and the quiet line the link keeps before each request. The
// device's storing time after the write (8 s, fixed) is waited on a virtual
// clock and not counted.

#include <cstdio>
#include <string>

#include "bench/BenchRig.h"
#include "sim/SimPtyServer.h"
#include "procedures/TableTransfer.h"

using namespace qt40;

namespace {

class BenchTableView final : public TableTransferView {
public:
    explicit BenchTableView(CommWorker& worker) : worker_(worker) {}
    CommResult Submit(WorkerRequest code, bool polling) override {
        return worker_.SubmitRequest(code, polling);
    }
    void ShowProgress(const std::string&) override {}
    void HideProgress() override {}
    void EnableRead(bool) override {}
    void EnableWrite(bool) override {}
    void TableArrived(bool complete) override { (complete ? tables : headers)++; }
    void ConnectionLost() override { lost = true; }
    void SequenceEnded() override { ++ended; }
    int tables = 0;
    int headers = 0;
    int ended = 0;
    bool lost = false;

private:
    CommWorker& worker_;
};

class YesPrompts final : public Prompts {
public:
    Answer Message(const std::string&, const MessageArgs&, BoxType type) override {
        return type == BoxType::YesNoQuestion ? Answer::Yes : Answer::Ok;
    }
    std::optional<NumberResult> EnterNumber(const NumberEntry&) override { return {}; }
    std::optional<std::string> EnterText(const TextEntry&) override { return {}; }
    std::optional<SelectionResult> Select(const Selection&) override { return {}; }
    std::optional<std::string> OpenFileName(const FileRequest&) override { return {}; }
    std::optional<std::string> SaveFileName(const FileRequest&) override { return {}; }
};

}  // namespace

int main() {
    sim::SimPtyOptions options;
    options.realtime = true;
    options.turnaroundMs = 20;
    sim::SimPtyServer server(sim::SimDevice{}, options);
    if (!server.Start()) {
        std::fprintf(stderr, "table_bench: %s\n", server.LastError().c_str());
        return 1;
    }
    bench::BenchRig rig(server.SlavePath());
    if (rig.controller.ConnectDevice() != kCommSuccess ||
        !rig.PumpUntil([&] { return rig.view.established; })) {
        std::fprintf(stderr, "table_bench: no connection on %s\n", server.SlavePath().c_str());
        return 1;
    }
    const LinkTiming timing;
    std::printf(
        "table_bench: 250-point custom TC table, write then read, simulator paced at %d bit/s, "
        "%d bits a byte, turnaround %d ms, quiet line %d ms\n",
        options.bitsPerSecond, options.bitsPerByte, options.turnaroundMs, timing.quietLineMs);

    CustomTableEdit table;
    table.size = 250;
    table.minimumText = "-100";
    table.stepText = "4";
    for (int i = 0; i < 250; ++i)
        table.valueTexts[static_cast<std::size_t>(i)] = std::to_string(i * 0.25);

    VirtualClock storing;
    YesPrompts prompts;
    BenchTableView view(rig.worker);
    TableTransfer transfer(TableKind::CustomTc, rig.worker, prompts, view, storing);
    const auto pump = [&] {
        return rig.PumpUntil([&] { return view.lost || (view.ended > 0 && !transfer.Busy()); },
                             900000);
    };
    // Each phase is measured by itself against the bytes of its own exchanges.
    double totalSeconds = 0, totalBound = 0;
    for (const bool write : {true, false}) {
        // Polls between the phases are not part of the measurement.
        rig.worker.SetPolling(false);
        rig.PumpUntil([] { return false; }, 400);
        rig.trace.Reset();
        view.ended = 0;
        rig.onNotification = [&](const Notification& n) { transfer.HandleNotification(n); };
        const auto start = std::chrono::steady_clock::now();
        if (write) {
            if (!transfer.StartWrite(table, true)) return 1;
        } else {
            transfer.StartRead();
        }
        if (!pump() || view.lost) {
            std::fprintf(stderr, "table_bench: the %s did not finish\n", write ? "write" : "read");
            return 1;
        }
        const double seconds = bench::SecondsSince(start);
        rig.onNotification = nullptr;
        const auto bytes = rig.trace.txBytes + rig.trace.rxBytes;
        const double bound =
            static_cast<double>(bytes) * options.bitsPerByte / options.bitsPerSecond +
            static_cast<double>(rig.trace.exchanges) * (options.turnaroundMs + timing.quietLineMs) /
                1000.0;
        totalSeconds += seconds;
        totalBound += bound;
        std::printf(
            "  %s: %llu exchanges, %llu bytes on the line, %.3f s measured, %.3f s bus-time "
            "floor, ratio %.3f\n",
            write ? "write" : "read ", static_cast<unsigned long long>(rig.trace.exchanges),
            static_cast<unsigned long long>(bytes), seconds, bound, seconds / bound);
    }
    std::printf("  storing wait after the write: %lld ms (virtual, not counted)\n",
                static_cast<long long>(storing.NowMs() - 1'000'000));
    std::printf(
        "table_bench: write + read %.3f s measured, %.3f s floor, ratio %.3f (goal <= 1.03)\n",
        totalSeconds, totalBound, totalSeconds / totalBound);
    return 0;
}
