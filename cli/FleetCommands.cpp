#include "cli/FleetCommands.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <tuple>

#include "cli/CliContext.h"
#include "cli/EnglishMessages.h"
#include "files/Utf8Path.h"
#include "fleet/TargetsFile.h"
#include "model/PrintableText.h"

namespace qt40::cli {

using fleet::FleetDevice;
using fleet::FleetEndpoint;

std::string Trimmed(const std::string& text) {
    const std::size_t end = text.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

std::string Where(const std::string& endpoint, int address) {
    return endpoint + " address " + std::to_string(address);
}

void FleetCollected::Sort() {
    std::sort(devices.begin(), devices.end(), [](const FleetDevice& a, const FleetDevice& b) {
        return std::tie(a.target, a.address) < std::tie(b.target, b.address);
    });
    std::sort(failedEndpoints.begin(), failedEndpoints.end(),
              [](const FleetEndpoint& a, const FleetEndpoint& b) { return a.target < b.target; });
}

FleetCollected RunFleet(fleet::FleetRunner& runner, const std::vector<fleet::FleetTarget>& targets,
                        std::ostream& err, const std::function<void(const FleetDevice&)>& each) {
    FleetCollected c;
    runner.OnDevice([&](const FleetDevice& d) {
        if (d.kind == FleetDevice::Kind::Failed) {
            ++c.failedDevices;
            err << "qt40cfg-cli: " << Where(d.endpoint, d.address) << ": " << d.error << '\n'
                << std::flush;
        }
        if (each) each(d);
        c.devices.push_back(d);
    });
    runner.OnEndpoint([&](const FleetEndpoint& e) {
        if (e.error.empty()) return;
        // A device failure that lost the endpoint was told already.
        const bool told =
            std::any_of(c.devices.begin(), c.devices.end(), [&](const FleetDevice& d) {
                return d.target == e.target && d.kind == FleetDevice::Kind::Failed &&
                       d.error == e.error;
            });
        if (!told) err << "qt40cfg-cli: " << e.endpoint << ": " << e.error << '\n' << std::flush;
        c.failedEndpoints.push_back(e);
    });
    runner.Run(targets);
    c.Sort();
    return c;
}

void FleetCommand::AddOptions(CLI::App& command, CliContext& context) {
    command
        .add_option("--targets", targetsFile_,
                    "Targets file: one endpoint a line (serial port, hartip://HOST[:PORT] or "
                    "hartip+udp://HOST[:PORT]), then an address, a range 1-4 or all")
        ->required();
    command.add_option("--jobs,-j", jobs_, "Endpoints served at once")->check(CLI::Range(1, 256));
    AddHartIpTimeout(&command, context.Link());
    AddTraceFlag(&command, context.Link());
}

int FleetCommand::Run(CliContext& context) {
    // The whole file is checked before any line is opened.
    const fleet::TargetsResult targets = fleet::TargetsFile::Read(PathFromUtf8(targetsFile_));
    if (!targets.ok()) return context.Usage(targets.error);

    const LinkOptions& link = context.Link();
    fleet::FleetRunner::Options options;
    options.jobs = jobs_;
    options.timing = context.Timing();
    options.reconnectWaitMs = context.ReconnectWaitMs();
    options.hartIp.answerTimeoutMs = link.hartIpTimeoutMs;
    // Many loops at once: each trace line goes to stderr whole, named by its
    // endpoint and address, decoded unless hex was asked for.
    using Trace = fleet::FleetRunner::Options::Trace;
    options.trace = link.trace.empty()    ? Trace::Off
                    : link.trace == "hex" ? Trace::Hex
                                          : Trace::Decoded;
    options.traceTexts = EnglishDecoderTexts();
    options.interrupted = context.Interruption();
    fleet::FleetRunner runner(options);
    std::ostream& err = context.Err();
    runner.OnProgress([&err](const fleet::FleetProgress& p) {
        err << p.endpointsDone << " of " << p.endpoints << " endpoints, " << p.devices
            << (p.devices == 1 ? " device, " : " devices, ") << p.failed << " failed\n"
            << std::flush;
    });
    runner.OnTrace([&err](const std::string& line) {
        err << PrintableText(line) + "\n" << std::flush;
    });
    return RunOn(context, runner, targets.targets);
}

}  // namespace qt40::cli
