#pragma once
// `qt40cfg-cli sim --hartip [HOST:]PORT [--latency MS] [--gateway SWITCH]…`: the simulated
// transmitter behind a HART-IP server (TCP and UDP on one port) instead of a
// pseudo-terminal. Prints the TCP endpoint URL as its first line and the UDP
// one as its second, then serves until stopped. With `--io-system CxH` the
// server is an I/O system with QT40s on its cards and channels.

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "sim/SimResponder.h"
#include "sim/SimState.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace qt40::cli {

struct SimHartIpRequest {
    std::string listen;  // [HOST:]PORT; the host 127.0.0.1 unless given
    int latencyMs = 0;
    std::string valuesFile;  // as for the pseudo-terminal simulator
    // How strict the gateway is (ApplyGatewaySwitch): silent to a host
    // without a session, keep-alives unanswered, publish messages unasked …
    std::vector<std::string> gateway;
    // An I/O system of CARDSxCHANNELS instead of one loop, its channels set
    // apart (CARD/CHANNEL=empty or =MODEL) and the delayed responses it holds.
    std::string ioSystem;
    std::vector<std::string> ioChannels;
    int ioDelayed = 4;
};

// The devices on each channel of the I/O system, from the options `sim` has
// for its one loop: --model, --devices, --device-id, --turnaround, --fault.
struct SimIoDevices {
    std::vector<sim::SimModel> models;
    int perChannel = 1;
    long long firstDeviceId = -1;  // none: the simulator's own numbering
    int turnaroundMs = 20;
    std::vector<std::string> faults;
};

// Adds --io-system, --io-channel and --io-delayed to `sim`; they need `hartip`.
void AddIoSystemOptions(CLI::App* sim, CLI::Option* hartip, SimHartIpRequest& request);

// Exit code: 0 after a stop, 1 when the server cannot start, 2 for a
// malformed address. `stopped` is asked every `wait` between checks.
int RunSimHartIp(const sim::SimResponder& loop, const SimHartIpRequest& request, std::ostream& out,
                 std::ostream& err, const std::function<bool()>& stopped,
                 const std::function<void(int)>& wait);
// The same with the I/O system of `request.ioSystem`.
int RunSimIoSystem(const SimIoDevices& devices, const SimHartIpRequest& request, std::ostream& out,
                   std::ostream& err, const std::function<bool()>& stopped,
                   const std::function<void(int)>& wait);

}  // namespace qt40::cli
