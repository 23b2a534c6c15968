#include "cli/CliApp.h"

#include "files/CFilePropertyReadWrite.h"
#include "files/FileConfigFromDevice.h"

#include <CLI/CLI.hpp>
#ifndef _WIN32
#include <signal.h>
#endif

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "cli/CalibrationCommands.h"
#include "cli/CliConnection.h"
#include "cli/FileCommands.h"
#include "cli/FleetCommands.h"
#include "cli/LinkOptions.h"
#include "cli/RecordCommands.h"
#include "cli/RecordPrinter.h"
#include "cli/SimHartIpCommand.h"
#include "cli/SimValueLog.h"
#include "cli/TableCommands.h"
#include "cli/TrafficCommands.h"
#include "files/TextFile.h"
#include "files/Utf8Path.h"
#include "sim/SimDevice.h"
#include "sim/SimFaults.h"
#include "sim/SimMultidrop.h"
#ifndef _WIN32
#include "sim/SimPtyServer.h"
#endif

#ifdef QT40_CLI_PORT_LIST
#include "ports/CCOMPortEnumerator.h"
#elif defined(_WIN32)
#include "ports/DeviceMapPorts.h"
#elif defined(__linux__)
#include "ports/SysfsPorts.h"
#endif

#ifndef QT40_VERSION
#define QT40_VERSION "0.0.0"
#endif

namespace qt40::cli {

namespace {

std::vector<std::string> SerialPortNames() {
#ifdef QT40_CLI_PORT_LIST
    CCOMPortEnumerator enumerator;
    enumerator.Enumerate();
    std::vector<std::string> lines;
    for (const PortEntry& entry : enumerator.Ports()) {
        std::string line = entry.openName;
        if (!entry.description.empty()) line += "  " + entry.description;
        lines.push_back(line);
    }
    return lines;
#elif defined(_WIN32)
    // Without Qt: the ports the registry's device map holds.
    std::vector<std::string> lines;
    for (const PortEntry& entry : DeviceMapPorts::Entries(DeviceMapPorts::Read())) {
        lines.push_back(entry.openName + "  " + entry.description);
    }
    return lines;
#elif defined(__linux__)
    // Without Qt: what sysfs lists, as the window program lists it.
    std::vector<std::string> lines;
    for (const PortEntry& entry : SysfsPorts::Entries(SysfsPorts::Read())) {
        lines.push_back(entry.openName + "  " + entry.description);
    }
    return lines;
#else
    // Without Qt: the usual serial device nodes.
    std::vector<std::string> lines;
    std::error_code ec;
    for (const auto& node : std::filesystem::directory_iterator("/dev", ec)) {
        const std::string name = node.path().filename().string();
        for (const char* prefix : {"ttyS", "ttyUSB", "ttyACM"}) {
            if (name.rfind(prefix, 0) == 0) lines.push_back(node.path().string());
        }
    }
    std::sort(lines.begin(), lines.end());
    return lines;
#endif
}

// One line a request the simulated device heard: its command number.
FileResult SaveHeard(const std::string& file, const std::vector<sim::SimRequest>& heard) {
    std::vector<std::string> lines;
    lines.reserve(heard.size());
    for (const sim::SimRequest& r : heard) lines.push_back(std::to_string(r.command));
    return SaveTextLines(PathFromUtf8(file), lines);
}

}  // namespace

CliApp::CliApp(std::ostream& out, std::ostream& err)
    : outFilter_(out), errFilter_(err), out_(outFilter_), err_(errFilter_) {}

void CliApp::SetTiming(const LinkTiming& timing, int reconnectWaitMs) {
    timing_ = timing;
    reconnectWaitMs_ = reconnectWaitMs;
}

int CliApp::Fail(const std::string& message) {
    out_.flush();
    err_ << "qt40cfg-cli: " << message << '\n' << std::flush;
    return kExitFailed;
}

bool CliApp::Interrupted() {
    if (stop_) return true;
#ifndef _WIN32
    if (watchSignals_) {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        sigaddset(&set, SIGHUP);
        timespec none{0, 0};
        if (sigtimedwait(&set, nullptr, &none) > 0) stop_ = true;
    }
#endif
    return stop_;
}

void CliApp::WaitInterruptible(int ms) {
    if (Interrupted()) return;
#ifndef _WIN32
    if (watchSignals_) {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        sigaddset(&set, SIGHUP);
        timespec wait{ms / 1000, (ms % 1000) * 1000000L};
        if (sigtimedwait(&set, nullptr, &wait) > 0) stop_ = true;
        return;
    }
#endif
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int CliApp::Run(const std::vector<std::string>& args) {
    std::vector<const char*> argv{"qt40cfg-cli"};
    for (const std::string& a : args) argv.push_back(a.c_str());
    return Run(static_cast<int>(argv.size()), argv.data());
}

int CliApp::Run(int argc, const char* const* argv) {
    CLI::App app{"QT40 HART transmitter from the command line", "qt40cfg-cli"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("qt40cfg-cli ") + QT40_VERSION);
    LinkOptions common;
    AddTraceFlag(&app, common);

    auto* ports = app.add_subcommand("ports", "List the serial ports");
    auto* identify = app.add_subcommand("identify", "Identify the device at an address");
    AddLinkOptions(identify, common);
    auto* search = app.add_subcommand("search", "Search the polling addresses for a device");
    AddLinkOptions(search, common, false);
    int from = 0;
    search->add_option("--from", from, "First address tried")->check(PollingAddressRange());
    auto* upload = app.add_subcommand("upload", "Read the whole configuration");
    AddLinkOptions(upload, common);
    bool json = false;
    upload->add_flag("--json", json, "One JSON object instead of text");
    std::string outFile;
    upload->add_option(
        "--out", outFile,
        "Also save the configuration file a technician would save from the window program");
    auto* monitor = app.add_subcommand("monitor", "Connect and print the live values");
    AddLinkOptions(monitor, common);
    int count = 0;
    monitor
        ->add_option("--count,-n", count, "Stop after this many poll cycles (0: until interrupted)")
        ->check(CLI::NonNegativeNumber);
    auto* sim = app.add_subcommand(
        "sim", "Run a simulated QT40 behind a new pseudo-terminal or a HART-IP server");
    int simAddress = 0;
    std::string model = "QT40";
    bool realtime = false;
    int turnaround = 20;
    std::vector<std::string> faults;
    sim->add_option("--address,-a", simAddress, "Polling address")->check(PollingAddressRange());
    sim->add_option("--model", model,
                    "QT40, QT30, QT10, QT302 or KX3; with --devices a comma list, one a device "
                    "(the last for the rest)");
    int simDevices = 0;
    long long simDeviceId = -1;
    sim->add_option("--devices", simDevices,
                    "K transmitters on one multidrop loop, at polling addresses 1..K")
        ->check(PollingAddressRange(1))
        ->excludes("--address");
    sim->add_option("--device-id", simDeviceId,
                    "Device ID (0 to 16777215) of the device, or of the first with --devices; "
                    "the others follow")
        ->check(CLI::Range(0LL, 0xFFFFFFLL));
    SimHartIpRequest hartip;
    auto* hartipOption = sim->add_option(
        "--hartip", hartip.listen,
        "Serve HART-IP (TCP and UDP) on [HOST:]PORT instead of a pseudo-terminal (host 127.0.0.1)");
    sim->add_option("--latency", hartip.latencyMs, "HART-IP: ms from a request to its answer")
        ->check(CLI::Range(0, 60000))
        ->needs(hartipOption);
    sim->add_option("--gateway", hartip.gateway,
                    "HART-IP: as strict as a real gateway: silent-without-session, no-keepalive, "
                    "publish:RATE (unasked messages a second), status:N (in every answer's header), "
                    "split-merge (TCP messages cut and joined), v2-only[:alert|silent]")
        ->needs(hartipOption);
    sim->add_flag("--realtime", realtime, "Pace answers like a 1200 bit/s loop")
        ->excludes(hartipOption);
    sim->add_option("--turnaround", turnaround,
                    "Device turnaround in ms (with --realtime or --io-system)")
        ->check(CLI::Range(0, 10000));
    sim->add_option(
        "--fault", faults,
        "drop[:N], checksum[:N], busy[:N], noise[:N], gap[:N] (or @N: every N-th answer), "
        "code:CMD=RC, delayed:CMD=N (33, N times 34, then the answer; CMD may be *) or only:CMD");
    std::string valuesFile;
    sim->add_option("--values", valuesFile,
                    "Write the line monitor should print for each poll cycle answered");
    std::string requestsFile;
    sim->add_option("--requests", requestsFile,
                    "At the end, write the command number of every request heard, one a line")
        ->excludes("--devices");
    AddIoSystemOptions(sim, hartipOption, hartip);
    for (auto* cmd : {ports, sim}) AddTraceFlag(cmd, common);
    TableCommands tables(out_, err_);
    tables.Register(app, common);
    FileCommands fileCommands(out_, err_);
    fileCommands.Register(app, common);
    CalibrationCommands calibration(out_, err_, {[this] { return Interrupted(); }});
    calibration.Register(app, common);
    FleetCommands fleetCommands(out_, err_);
    fleetCommands.Register(app, common);
    RecordCommands records(out_, err_, {[this] { return Interrupted(); }});
    records.Register(app, common);
    TrafficCommands trafficCommands(out_, err_);
    trafficCommands.Register(app);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out_ << app.help();
        return kExitOk;
    } catch (const CLI::CallForAllHelp&) {
        out_ << app.help("", CLI::AppFormatMode::All);
        return kExitOk;
    } catch (const CLI::CallForVersion& e) {
        out_ << e.what() << '\n';
        return kExitOk;
    } catch (const CLI::ParseError& e) {
        err_ << "qt40cfg-cli: " << e.what() << '\n';
        return kExitUsage;
    }

    if (!common.capture.empty() || common.trace == "decoded") {
        common.traffic =
            std::make_shared<CliTraffic>(common.capture, common.trace == "decoded", common.port);
        // The capture's path is checked before anything is sent.
        if (const auto error = common.traffic->Start()) return Fail(*error);
    }
    const auto run = [&]() -> int {
        if (tables.Chosen()) {
            return tables.Run(timing_, reconnectWaitMs_, [this] { return Interrupted(); });
        }
        if (*ports) return Ports();
        if (*identify) return Identify(common);
        if (*search) return Search(common, from);
        if (*upload) return Upload(common, json, outFile);
        if (*monitor) return Monitor(common, count);
        if (auto code =
                fileCommands.Run(timing_, reconnectWaitMs_, [this] { return Interrupted(); })) {
            return *code;
        }
        if (auto code = calibration.Run(timing_, reconnectWaitMs_)) return *code;
        if (auto code =
                fleetCommands.Run(timing_, reconnectWaitMs_, [this] { return Interrupted(); })) {
            return *code;
        }
        if (auto code = records.Run(timing_, reconnectWaitMs_)) return *code;
        if (auto code = trafficCommands.Run()) return *code;
        hartip.valuesFile = valuesFile;
        return Sim(simAddress, model, realtime, turnaround, faults, valuesFile, requestsFile,
                   simDevices, simDeviceId, hartip);
    };
    const int code = run();
    // The capture is written however the command ended.
    if (common.traffic) {
        if (const auto error = common.traffic->Finish()) {
            const int failed = Fail(*error);
            return code == kExitOk ? failed : code;
        }
    }
    return code;
}

int CliApp::Ports() {
    for (const std::string& line : SerialPortNames()) out_ << line << '\n';
    out_.flush();
    return kExitOk;
}

int CliApp::Identify(const LinkOptions& c) {
    CliConnection connection(ConnectionOptionsFor(c, timing_, reconnectWaitMs_), out_,
                             [this] { return Interrupted(); });
    const CliOutcome outcome = connection.Identify(c.address);
    if (!outcome.ok) return Fail(outcome.error);
    out_ << "address: " << c.address << '\n' << RecordPrinter::Identity(connection.Record());
    out_.flush();
    return kExitOk;
}

int CliApp::Search(const LinkOptions& c, int from) {
    CliConnection connection(ConnectionOptionsFor(c, timing_, reconnectWaitMs_), out_,
                             [this] { return Interrupted(); });
    const CliOutcome outcome = connection.Search(from);
    if (!outcome.ok) return Fail(outcome.error);
    out_ << "found: address " << *connection.FoundAddress() << '\n'
         << RecordPrinter::Identity(connection.Record());
    out_.flush();
    return kExitOk;
}

int CliApp::Upload(const LinkOptions& c, bool json, const std::string& outFile) {
    CliConnection connection(ConnectionOptionsFor(c, timing_, reconnectWaitMs_), out_,
                             [this] { return Interrupted(); });
    const CliOutcome outcome = connection.Connect(c.address);
    if (!outcome.ok) return Fail(outcome.error);
    const DeviceRecord record = connection.Record();
    connection.Disconnect();
    if (!outFile.empty()) {
        // Saved before anything is printed, so a failure leaves one clear line.
        const FileResult saved = SaveConfigFile(PathFromUtf8(outFile), FileConfigFromDevice(record));
        if (!saved.ok()) return Fail(saved.error);
    }
    out_ << (json ? RecordPrinter::UploadJson(record, c.port) : RecordPrinter::Upload(record));
    out_.flush();
    return kExitOk;
}

int CliApp::Monitor(const LinkOptions& c, int count) {
    CliConnection connection(ConnectionOptionsFor(c, timing_, reconnectWaitMs_), out_,
                             [this] { return Interrupted(); });
    CliOutcome outcome = connection.Connect(c.address);
    if (!outcome.ok) return Fail(outcome.error);
    int lines = 0;
    outcome = connection.Monitor([&](int result) {
        if (result == 200) {
            out_ << RecordPrinter::MonitorLine(connection.Record(), connection.DeviceStatus());
        } else {
            out_ << "poll ended with " << result;
        }
        out_ << '\n' << std::flush;
        return count == 0 || ++lines < count;
    });
    if (!outcome.ok) return Fail(outcome.error);
    return kExitOk;
}

int CliApp::Sim(int address, const std::string& modelName, bool realtime, int turnaroundMs,
                const std::vector<std::string>& faults, const std::string& valuesFile,
                const std::string& requestsFile, int devices, long long deviceId,
                const SimHartIpRequest& hartip) {
    std::vector<sim::SimModel> models;
    for (std::size_t from = 0; from <= modelName.size();) {
        const std::size_t comma = std::min(modelName.find(',', from), modelName.size());
        const std::string name = modelName.substr(from, comma - from);
        const auto model = sim::ModelFromName(name);
        if (!model) {
            err_ << "qt40cfg-cli: unknown model " << name << '\n';
            return kExitUsage;
        }
        models.push_back(*model);
        from = comma + 1;
    }
    if (devices == 0 && models.size() > 1) {
        err_ << "qt40cfg-cli: one --model for one device; a list needs --devices\n";
        return kExitUsage;
    }
    if (!hartip.ioSystem.empty()) {
        return RunSimIoSystem(
            {models, devices, deviceId, turnaroundMs, faults}, hartip, out_, err_,
            [this] { return Interrupted(); }, [this](int ms) { WaitInterruptible(ms); });
    }
    sim::SimDevice device(models.front(), static_cast<std::uint8_t>(address));
    if (deviceId >= 0) device.State().deviceId = static_cast<std::uint32_t>(deviceId);
    std::optional<sim::SimMultidrop> loop;
    if (devices > 0) {
        loop.emplace(sim::SimMultidrop::Plant(
            devices, deviceId >= 0 ? static_cast<std::uint32_t>(deviceId) : device.State().deviceId,
            models));
    }
    for (const std::string& fault : faults) {
        std::optional<std::string> error;
        if (loop) {
            for (std::size_t i = 0; i < loop->Size() && !error; ++i) {
                error = loop->WithDevice(
                    i, [&](sim::SimDevice& d) { return sim::ApplyFaultSwitch(fault, d.Faults()); });
            }
        } else {
            error = sim::ApplyFaultSwitch(fault, device.Faults());
        }
        if (error) {
            err_ << "qt40cfg-cli: --fault " << fault << ": " << *error << '\n';
            return kExitUsage;
        }
    }
    // The loop's devices are asked through its responder; --requests names one device.
    if (!requestsFile.empty()) device.RecordRequests(true);
    if (!hartip.listen.empty()) {
        const sim::SimResponder responder =
            loop ? loop->Responder()
                 : sim::SimResponder([&device](std::span<const std::uint8_t> request) {
                       return device.Handle(request);
                   });
        const int code = RunSimHartIp(
            responder, hartip, out_, err_, [this] { return Interrupted(); },
            [this](int ms) { WaitInterruptible(ms); });
        if (code == kExitOk && !requestsFile.empty()) {
            if (const FileResult saved = SaveHeard(requestsFile, device.Heard()); !saved.ok()) {
                return Fail(saved.error);
            }
        }
        return code;
    }
#ifdef _WIN32
    (void)realtime;
    (void)turnaroundMs;
    (void)valuesFile;
    (void)requestsFile;
    return Fail("the simulator needs a pseudo-terminal: run `qt40cfg-cli sim` on Linux");
#else
    sim::SimPtyOptions options;
    options.realtime = realtime;
    options.turnaroundMs = turnaroundMs;
    sim::SimPtyServer server = loop ? sim::SimPtyServer(loop->Responder(), options)
                                    : sim::SimPtyServer(std::move(device), options);
    SimValueLog values;
    if (!valuesFile.empty()) {
        if (!values.Open(valuesFile)) return Fail("cannot write " + valuesFile);
        server.ObserveAnswers([&values](const sim::SimReply& reply) { values.Observe(reply); });
    }
    if (!server.Start()) return Fail("cannot create a pseudo-terminal: " + server.LastError());
    // Scripts read the path from the first line, so it must leave at once.
    out_ << server.SlavePath() << std::endl;
    while (!Interrupted()) WaitInterruptible(200);
    server.Stop();
    if (!requestsFile.empty()) {
        const FileResult saved =
            SaveHeard(requestsFile, server.WithDevice([](sim::SimDevice& d) { return d.Heard(); }));
        if (!saved.ok()) return Fail(saved.error);
    }
    return kExitOk;
#endif
}

}  // namespace qt40::cli
