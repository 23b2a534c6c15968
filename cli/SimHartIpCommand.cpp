#include "cli/SimHartIpCommand.h"

#include <CLI/CLI.hpp>

#include "cli/CliContext.h"
#include "cli/SimValueLog.h"
#include "sim/SimHartIpServer.h"
#include "sim/SimIoSystem.h"

namespace qt40::cli {

namespace {

// Serves `responder` as the request says until stopped.
int Serve(const sim::GatewayResponder& responder, const SimHartIpRequest& request,
          std::ostream& out, std::ostream& err, const std::function<bool()>& stopped,
          const std::function<void(int)>& wait) {
    std::string why;
    const auto listen = ParseHartIpListenAddress(request.listen, "127.0.0.1", &why);
    if (!listen) {
        err << "qt40cfg-cli: --hartip " << request.listen << ": " << why << '\n';
        return kExitUsage;
    }
    sim::SimHartIpOptions options;
    for (const std::string& word : request.gateway) {
        if (const auto error = sim::ApplyGatewaySwitch(word, options)) {
            err << "qt40cfg-cli: --gateway " << word << ": " << *error << '\n';
            return kExitUsage;
        }
    }
    options.host = listen->host;
    options.port = listen->port;
    options.latencyMs = request.latencyMs;
    sim::SimHartIpServer server(responder, options);
    if (!server.Start()) {
        err << "qt40cfg-cli: cannot serve HART-IP on " << listen->HostPort() << ": "
            << server.LastError() << '\n';
        return kExitFailed;
    }
    // Scripts read the URL from the first line, so it must leave at once.
    out << server.Endpoint(HartIpProtocol::Tcp).Url() << '\n'
        << server.Endpoint(HartIpProtocol::Udp).Url() << std::endl;
    while (!stopped()) wait(200);
    server.Stop();
    return kExitOk;
}

}  // namespace

void AddIoSystemOptions(CLI::App* sim, CLI::Option* hartip, SimHartIpRequest& request) {
    auto* io = sim->add_option("--io-system", request.ioSystem,
                               "HART-IP: an I/O system of CARDSxCHANNELS (e.g. 2x8, cards and "
                               "channels counted from 0) with QT40s on its channels, reached "
                               "through command 77; --devices K puts K on each channel")
                   ->needs(hartip)
                   ->excludes("--address")
                   ->excludes("--values")
                   ->excludes("--requests");
    sim->add_option("--io-channel", request.ioChannels,
                    "I/O system: CARD/CHANNEL=empty leaves a channel empty, CARD/CHANNEL=MODEL "
                    "puts another model there")
        ->needs(io);
    sim->add_option("--io-delayed", request.ioDelayed,
                    "I/O system: delayed responses held at once (default 4)")
        ->check(CLI::Range(1, 255))
        ->needs(io);
}

int RunSimHartIp(const sim::SimResponder& loop, const SimHartIpRequest& request, std::ostream& out,
                 std::ostream& err, const std::function<bool()>& stopped,
                 const std::function<void(int)>& wait) {
    SimValueLog values;
    std::function<void(const sim::SimReply&)> observer;
    if (!request.valuesFile.empty()) {
        if (!values.Open(request.valuesFile)) {
            err << "qt40cfg-cli: cannot write " << request.valuesFile << '\n';
            return kExitFailed;
        }
        observer = [&values](const sim::SimReply& reply) { values.Observe(reply); };
    }
    return Serve(sim::LoopResponder(loop, observer), request, out, err, stopped, wait);
}

int RunSimIoSystem(const SimIoDevices& devices, const SimHartIpRequest& request, std::ostream& out,
                   std::ostream& err, const std::function<bool()>& stopped,
                   const std::function<void(int)>& wait) {
    sim::SimIoSystemOptions options;
    if (const auto error = sim::ApplyIoSystemSize(request.ioSystem, options)) {
        err << "qt40cfg-cli: --io-system " << request.ioSystem << ": " << *error << '\n';
        return kExitUsage;
    }
    for (const std::string& channel : request.ioChannels) {
        if (const auto error = sim::ApplyIoChannelSwitch(channel, options)) {
            err << "qt40cfg-cli: --io-channel " << channel << ": " << *error << '\n';
            return kExitUsage;
        }
    }
    options.models = devices.models;
    options.devicesPerChannel = std::max(devices.perChannel, 1);
    if (devices.firstDeviceId >= 0)
        options.firstDeviceId = static_cast<std::uint32_t>(devices.firstDeviceId);
    options.turnaroundMs = devices.turnaroundMs;
    options.maxDelayed = request.ioDelayed;
    sim::SimIoSystem io(options);
    for (const std::string& fault : devices.faults) {
        std::optional<std::string> error;
        io.ForEachDevice([&](sim::SimDevice& d) {
            if (!error) error = sim::ApplyFaultSwitch(fault, d.Faults());
        });
        if (error) {
            err << "qt40cfg-cli: --fault " << fault << ": " << *error << '\n';
            return kExitUsage;
        }
    }
    return Serve(io.Responder(), request, out, err, stopped, wait);
}

}  // namespace qt40::cli
