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
#include <thread>

#include "cli/CalibrationCommands.h"
#include "cli/CliConnection.h"
#include "cli/FileCommands.h"
#include "cli/LinkOptions.h"
#include "cli/RecordPrinter.h"
#include "cli/SimValueLog.h"
#include "cli/TableCommands.h"
#include "files/TextFile.h"
#include "files/Utf8Path.h"
#include "sim/SimDevice.h"
#include "sim/SimFaults.h"
#ifndef _WIN32
#include "sim/SimPtyServer.h"
#endif

#ifdef QT40_CLI_PORT_LIST
#include "ports/CCOMPortEnumerator.h"
#elif defined(_WIN32)
#include "ports/DeviceMapPorts.h"
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

}  // namespace

CliApp::CliApp(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

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
    search->add_option("--from", from, "First address tried")->check(CLI::Range(0, 15));
    auto* upload = app.add_subcommand("upload", "Read the whole configuration");
    AddLinkOptions(upload, common);
    bool json = false;
    upload->add_flag("--json", json, "One JSON object instead of text");
    std::string outFile;
    upload->add_option("--out", outFile,
                       "Also save the configuration file a technician would save from the window program");
    auto* monitor = app.add_subcommand("monitor", "Connect and print the live values");
    AddLinkOptions(monitor, common);
    int count = 0;
    monitor
        ->add_option("--count,-n", count, "Stop after this many poll cycles (0: until interrupted)")
        ->check(CLI::NonNegativeNumber);
    auto* sim = app.add_subcommand("sim", "Run a simulated QT40 behind a new pseudo-terminal");
    int simAddress = 0;
    std::string model = "QT40";
    bool realtime = false;
    int turnaround = 20;
    std::vector<std::string> faults;
    sim->add_option("--address,-a", simAddress, "Polling address")->check(CLI::Range(0, 15));
    sim->add_option("--model", model, "QT40, QT30, QT10, QT302 or KX3");
    sim->add_flag("--realtime", realtime, "Pace answers like a 1200 bit/s loop");
    sim->add_option("--turnaround", turnaround, "Device turnaround in ms (with --realtime)")
        ->check(CLI::Range(0, 10000));
    sim->add_option("--fault", faults,
                    "drop[:N], checksum[:N], busy[:N], noise[:N], gap[:N] (or @N: every N-th answer), "
                    "code:CMD=RC or only:CMD");
    std::string valuesFile;
    sim->add_option("--values", valuesFile,
                    "Write the line monitor should print for each poll cycle answered");
    std::string requestsFile;
    sim->add_option("--requests", requestsFile,
                    "At the end, write the command number of every request heard, one a line");
    for (auto* cmd : {ports, sim}) AddTraceFlag(cmd, common);
    TableCommands tables(out_, err_);
    tables.Register(app, common);
    FileCommands fileCommands(out_, err_);
    fileCommands.Register(app, common);
    CalibrationCommands calibration(out_, err_, {[this] { return Interrupted(); }});
    calibration.Register(app, common);

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
    return Sim(simAddress, model, realtime, turnaround, faults, valuesFile, requestsFile);
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
                const std::string& requestsFile) {
    const auto model = sim::ModelFromName(modelName);
    if (!model) {
        err_ << "qt40cfg-cli: unknown model " << modelName << '\n';
        return kExitUsage;
    }
    sim::SimDevice device(*model, static_cast<std::uint8_t>(address));
    for (const std::string& fault : faults) {
        if (const auto error = sim::ApplyFaultSwitch(fault, device.Faults())) {
            err_ << "qt40cfg-cli: --fault " << fault << ": " << *error << '\n';
            return kExitUsage;
        }
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
    sim::SimPtyServer server(std::move(device), options);
    SimValueLog values;
    if (!valuesFile.empty()) {
        if (!values.Open(valuesFile)) return Fail("cannot write " + valuesFile);
        server.ObserveAnswers([&values](const sim::SimReply& reply) { values.Observe(reply); });
    }
    if (!requestsFile.empty()) server.WithDevice([](sim::SimDevice& d) { d.RecordRequests(true); });
    if (!server.Start()) return Fail("cannot create a pseudo-terminal: " + server.LastError());
    // Scripts read the path from the first line, so it must leave at once.
    out_ << server.SlavePath() << std::endl;
    while (!Interrupted()) WaitInterruptible(200);
    server.Stop();
    if (!requestsFile.empty()) {
        std::vector<std::string> lines;
        for (const sim::SimRequest& r : server.WithDevice([](sim::SimDevice& d) { return d.Heard(); })) {
            lines.push_back(std::to_string(r.command));
        }
        if (const FileResult saved = SaveTextLines(PathFromUtf8(requestsFile), lines); !saved.ok()) {
            return Fail(saved.error);
        }
    }
    return kExitOk;
#endif
}

}  // namespace qt40::cli
