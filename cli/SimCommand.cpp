#include "cli/SimCommand.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <optional>

#include "cli/CliContext.h"
#include "cli/SimValueLog.h"
#include "files/TextFile.h"
#include "files/Utf8Path.h"
#include "sim/SimDevice.h"
#include "sim/SimFaults.h"
#include "sim/SimMultidrop.h"
#ifndef _WIN32
#include "sim/SimPtyServer.h"
#endif

namespace qt40::cli {
namespace {

// One line a request the simulated device heard: its command number.
FileResult SaveHeard(const std::string& file, const std::vector<sim::SimRequest>& heard) {
    std::vector<std::string> lines;
    lines.reserve(heard.size());
    for (const sim::SimRequest& r : heard) lines.push_back(std::to_string(r.command));
    return SaveTextLines(PathFromUtf8(file), lines);
}

}  // namespace

SimCommand::SimCommand()
    : CliCommand("sim", "Run a simulated QT40 behind a new pseudo-terminal or a HART-IP server") {}

void SimCommand::AddOptions(CLI::App& command, CliContext& context) {
    command.add_option("--address,-a", address_, "Polling address")->check(PollingAddressRange());
    command.add_option("--model", model_,
                       "QT40, QT30, QT10, QT302 or KX3; with --devices a comma list, one a device "
                       "(the last for the rest)");
    command
        .add_option("--devices", devices_,
                    "K transmitters on one multidrop loop, at polling addresses 1..K")
        ->check(PollingAddressRange(1))
        ->excludes("--address");
    command
        .add_option("--device-id", deviceId_,
                    "Device ID (0 to 16777215) of the device, or of the first with --devices; "
                    "the others follow")
        ->check(CLI::Range(0LL, 0xFFFFFFLL));
    // The HART-IP server's options: each needs --hartip.
    auto* hartip = command.add_option(
        "--hartip", hartip_.listen,
        "Serve HART-IP (TCP and UDP) on [HOST:]PORT instead of a pseudo-terminal (host 127.0.0.1)");
    command.add_option("--latency", hartip_.latencyMs, "HART-IP: ms from a request to its answer")
        ->check(CLI::Range(0, 60000))
        ->needs(hartip);
    command
        .add_option("--gateway", hartip_.gateway,
                    "HART-IP: as strict as a real gateway: silent-without-session, no-keepalive, "
                    "publish:RATE (unasked messages a second), status:N (in every answer's "
                    "header), split-merge (TCP messages cut and joined), v2-only[:alert|silent]")
        ->needs(hartip);
    // The pseudo-terminal's pace, and what either server does.
    command.add_flag("--realtime", realtime_, "Pace answers like a 1200 bit/s loop")
        ->excludes(hartip);
    command
        .add_option("--turnaround", turnaroundMs_,
                    "Device turnaround in ms (with --realtime or --io-system)")
        ->check(CLI::Range(0, 10000));
    command.add_option(
        "--fault", faults_,
        "drop[:N], checksum[:N], busy[:N], noise[:N], gap[:N] (or @N: every N-th answer), "
        "code:CMD=RC, delayed:CMD=N (33, N times 34, then the answer; CMD may be *) or only:CMD");
    command.add_option("--values", valuesFile_,
                       "Write the line monitor should print for each poll cycle answered");
    command
        .add_option("--requests", requestsFile_,
                    "At the end, write the command number of every request heard, one a line")
        ->excludes("--devices");
    AddIoSystemOptions(&command, hartip, hartip_);
    AddTraceFlag(&command, context.Link());
}

int SimCommand::Run(CliContext& context) {
    std::vector<sim::SimModel> models;
    for (std::size_t from = 0; from <= model_.size();) {
        const std::size_t comma = std::min(model_.find(',', from), model_.size());
        const std::string name = model_.substr(from, comma - from);
        const auto model = sim::ModelFromName(name);
        if (!model) return context.Usage("unknown model " + name);
        models.push_back(*model);
        from = comma + 1;
    }
    if (devices_ == 0 && models.size() > 1) {
        return context.Usage("one --model for one device; a list needs --devices");
    }
    if (!hartip_.ioSystem.empty()) {
        return RunSimIoSystem({models, devices_, deviceId_, turnaroundMs_, faults_}, hartip_,
                              context.Out(), context.Err(), context.Interruption(),
                              [&context](int ms) { context.WaitInterruptible(ms); });
    }
    sim::SimDevice device(models.front(), static_cast<std::uint8_t>(address_));
    if (deviceId_ >= 0) device.State().deviceId = static_cast<std::uint32_t>(deviceId_);
    std::optional<sim::SimMultidrop> loop;
    if (devices_ > 0) {
        loop.emplace(sim::SimMultidrop::Plant(
            devices_,
            deviceId_ >= 0 ? static_cast<std::uint32_t>(deviceId_) : device.State().deviceId,
            models));
    }
    for (const std::string& fault : faults_) {
        std::optional<std::string> error;
        if (loop) {
            for (std::size_t i = 0; i < loop->Size() && !error; ++i) {
                error = loop->WithDevice(
                    i, [&](sim::SimDevice& d) { return sim::ApplyFaultSwitch(fault, d.Faults()); });
            }
        } else {
            error = sim::ApplyFaultSwitch(fault, device.Faults());
        }
        if (error) return context.Usage("--fault " + fault + ": " + *error);
    }
    // The loop's devices are asked through its responder; --requests names one device.
    if (!requestsFile_.empty()) device.RecordRequests(true);
    if (!hartip_.listen.empty()) {
        const sim::SimResponder responder =
            loop ? loop->Responder()
                 : sim::SimResponder([&device](std::span<const std::uint8_t> request) {
                       return device.Handle(request);
                   });
        SimHartIpRequest request = hartip_;
        request.valuesFile = valuesFile_;
        const int code =
            RunSimHartIp(responder, request, context.Out(), context.Err(), context.Interruption(),
                         [&context](int ms) { context.WaitInterruptible(ms); });
        if (code == kExitOk && !requestsFile_.empty()) {
            if (const FileResult saved = SaveHeard(requestsFile_, device.Heard()); !saved.ok()) {
                return context.Fail(saved.error);
            }
        }
        return code;
    }
#ifdef _WIN32
    return context.Fail("the simulator needs a pseudo-terminal: run `qt40cfg-cli sim` on Linux");
#else
    sim::SimPtyOptions options;
    options.realtime = realtime_;
    options.turnaroundMs = turnaroundMs_;
    sim::SimPtyServer server = loop ? sim::SimPtyServer(loop->Responder(), options)
                                    : sim::SimPtyServer(std::move(device), options);
    SimValueLog values;
    if (!valuesFile_.empty()) {
        if (!values.Open(valuesFile_)) return context.Fail("cannot write " + valuesFile_);
        server.ObserveAnswers([&values](const sim::SimReply& reply) { values.Observe(reply); });
    }
    if (!server.Start()) {
        return context.Fail("cannot create a pseudo-terminal: " + server.LastError());
    }
    // Scripts read the path from the first line, so it must leave at once.
    context.Out() << server.SlavePath() << std::endl;
    while (!context.Interrupted()) context.WaitInterruptible(200);
    server.Stop();
    if (!requestsFile_.empty()) {
        const FileResult saved = SaveHeard(
            requestsFile_, server.WithDevice([](sim::SimDevice& d) { return d.Heard(); }));
        if (!saved.ok()) return context.Fail(saved.error);
    }
    return kExitOk;
#endif
}

}  // namespace qt40::cli
