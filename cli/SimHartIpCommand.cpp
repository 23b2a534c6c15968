#include "cli/SimHartIpCommand.h"

#include "cli/CliContext.h"
#include "cli/SimValueLog.h"
#include "sim/SimHartIpServer.h"

namespace qt40::cli {

int RunSimHartIp(const sim::SimResponder& loop, const SimHartIpRequest& request, std::ostream& out,
                 std::ostream& err, const std::function<bool()>& stopped,
                 const std::function<void(int)>& wait) {
    std::string why;
    const auto listen = ParseHartIpListenAddress(request.listen, "127.0.0.1", &why);
    if (!listen) {
        err << "qt40cfg-cli: --hartip " << request.listen << ": " << why << '\n';
        return kExitUsage;
    }
    SimValueLog values;
    std::function<void(const sim::SimReply&)> observer;
    if (!request.valuesFile.empty()) {
        if (!values.Open(request.valuesFile)) {
            err << "qt40cfg-cli: cannot write " << request.valuesFile << '\n';
            return kExitFailed;
        }
        observer = [&values](const sim::SimReply& reply) { values.Observe(reply); };
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
    sim::SimHartIpServer server(sim::LoopResponder(loop, observer), options);
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

}  // namespace qt40::cli
