// The configuration download (re-identification, 18 writes) with the
// identification and upload that follow it, against the simulator paced like
// a 1200 bit/s loop, compared with what the loop itself needs for the same
// exchanges: the 80 ms quiet line before each send, every byte at 11 bits and
// the simulator's turnaround per answer.

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/BenchRig.h"
#include "procedures/ConfigDownload.h"
#include "link/RequestTable.h"
#include "sim/SimPtyServer.h"

using namespace qt40;

int main() {
    sim::SimPtyOptions options;
    options.realtime = true;
    options.turnaroundMs = 20;
    sim::SimPtyServer server(sim::SimDevice{}, options);
    if (!server.Start()) {
        std::fprintf(stderr, "download_bench: %s\n", server.LastError().c_str());
        return 1;
    }
    const LinkTiming timing;
    constexpr int kRounds = 3;
    std::vector<double> ratios;
    std::printf(
        "download_bench: download and re-upload, simulator paced at %d bit/s, %d bits a byte, "
        "turnaround %d ms, quiet line %d ms\n",
        options.bitsPerSecond, options.bitsPerByte, options.turnaroundMs, timing.quietLineMs);
    for (int round = 0; round < kRounds; ++round) {
        bench::BenchRig rig(server.SlavePath());
        ConfigDownload download(rig.worker, rig.controller, rig.prompts);
        // Values that differ from the device's, alternating between rounds.
        FileConfig values;
        values.tag = round % 2 ? "BENCH-A" : "BENCH-B";
        values.descriptor = "DOWNLOAD BENCH";
        values.message = "WRITTEN BY THE BENCHMARK";
        values.date = "2026/12/07";
        values.sensorType = "Pt100";
        values.measurementType = "Single";
        values.sensorWires = round % 2 ? "3 Wires" : "4 Wires";
        values.pvUnit = "degC";
        values.pvUpperRange = round % 2 ? "150.000" : "160.000";
        values.pvLowerRange = "0.000";
        values.pvDamping = "2.500";
        values.pvDriftAlarm = "5.000";
        values.burnoutDetection = "ON";
        values.transferFunction = "LINEAR";
        values.termTempUnit = "degC";
        values.cjcMode = "Internal CJC";
        values.leadWireResistance = "0.5000";
        values.sensorUpperRange = "850.000";
        values.sensorLowerRange = "-200.000";
        values.sensorSerialNo = "5512";
        values.finalAssemblyNo = "120034";
        values.aoAlarmMode = "High";
        values.aoAlarmHigh = "21.750";
        values.aoAlarmLow = "3.750";
        values.aoSaturationHigh = "20.500";
        values.aoSaturationLow = "3.900";
        download.Request(values);
        if (rig.controller.Connect() != kCommSuccess) {
            std::fprintf(stderr, "download_bench: cannot open %s: %s\n", server.SlavePath().c_str(),
                         rig.link.LastError().c_str());
            return 1;
        }
        // From the identification that starts the download to the end of the upload.
        std::chrono::steady_clock::time_point start;
        double seconds = 0;
        bool failed = false;
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (seconds == 0 && !failed && std::chrono::steady_clock::now() < limit) {
            const auto next = rig.queue.WaitNext(100);
            if (!next) continue;
            const Notification& n = next->notification;
            if (n.Completes(WorkerRequest::Identify) && !download.Started()) {
                rig.trace.Reset();
                start = std::chrono::steady_clock::now();
            } else if (n.Completes(WorkerRequest::Upload)) {
                seconds = bench::SecondsSince(start);
                failed = n.result != kCommSuccess;
            } else if (n.kind == NotificationKind::Completion &&
                       n.request != WorkerRequest::IdlePoll && n.result == kCommExchangeFailed) {
                failed = true;  // a request given up
            }
            if (!download.HandleNotification(n)) rig.controller.HandleNotification(n);
        }
        if (seconds == 0 || failed || download.StepsWritten() != kDownloadStepCount) {
            std::fprintf(stderr, "download_bench: the download did not finish (%d steps)\n",
                         download.StepsWritten());
            return 1;
        }
        const auto bytes = rig.trace.txBytes + rig.trace.rxBytes;
        const auto exchanges = static_cast<double>(rig.trace.exchanges);
        const double floor =
            static_cast<double>(bytes) * options.bitsPerByte / options.bitsPerSecond +
            exchanges * (options.turnaroundMs + timing.quietLineMs) / 1000.0;
        ratios.push_back(seconds / floor);
        std::printf(
            "  round %d: %llu exchanges, %llu bytes on the line, %.3f s measured, "
            "%.3f s bus-time floor, ratio %.3f\n",
            round + 1, static_cast<unsigned long long>(rig.trace.exchanges),
            static_cast<unsigned long long>(bytes), seconds, floor, seconds / floor);
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf(
        "download_bench: ratio measured / bus-time floor, median %.3f (min %.3f, max %.3f)\n",
        ratios[ratios.size() / 2], ratios.front(), ratios.back());
    return 0;
}
