// The far ends of a capture check: the simulator's HART-IP server and the
// client, exchanging the 19 requests of a connection and upload over TCP, then
// over UDP. Prints "port N" once the server listens, waits for a line on
// standard input (the capture has started), then prints each run's commands
// as sent ("tcp 0 0 130 ...") and exits 0 when every answer was taken.
#include <iostream>
#include <string>

#include "sim/SimHartIpServer.h"
#include "tests/transport/UploadSequence.h"
#include "transport/HartIpClient.h"

using namespace qt40;

int main() {
    sim::SimDevice device;
    sim::SimHartIpOptions options;
    options.port = 0;
    sim::SimHartIpServer server(sim::DeviceResponder(device), options);
    if (!server.Start()) {
        std::cerr << "hartip_capture_exchange: " << server.LastError() << '\n';
        return 1;
    }
    std::cout << "port " << server.Port() << std::endl;
    std::string go;
    std::getline(std::cin, go);

    bool ok = true;
    for (const HartIpProtocol protocol : {HartIpProtocol::Tcp, HartIpProtocol::Udp}) {
        HartIpClient client;
        const std::string url = server.Endpoint(protocol).Url();
        if (client.Open(url) != kCommSuccess) {
            std::cerr << "hartip_capture_exchange: " << client.LastError() << '\n';
            return 1;
        }
        HartSession session;
        const testing::UploadRun run = testing::RunUpload(client, session, 3000);
        client.Close();
        std::cout << (protocol == HartIpProtocol::Tcp ? "tcp" : "udp");
        for (const std::uint8_t command : run.commands) std::cout << ' ' << int{command};
        std::cout << std::endl;
        if (run.accepted != static_cast<int>(run.commands.size())) {
            std::cerr << "hartip_capture_exchange: " << url << ": " << run.failure << '\n';
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
