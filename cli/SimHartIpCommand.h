#pragma once
// `qt40cfg-cli sim --hartip [HOST:]PORT [--latency MS] [--gateway SWITCH]…`: the simulated
// transmitter behind a HART-IP server (TCP and UDP on one port) instead of a
// pseudo-terminal. Prints the TCP endpoint URL as its first line and the UDP
// one as its second, then serves until stopped.

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "sim/SimResponder.h"

namespace qt40::cli {

struct SimHartIpRequest {
    std::string listen;  // [HOST:]PORT; the host 127.0.0.1 unless given
    int latencyMs = 0;
    std::string valuesFile;  // as for the pseudo-terminal simulator
    // How strict the gateway is (ApplyGatewaySwitch): silent to a host
    // without a session, keep-alives unanswered, publish messages unasked …
    std::vector<std::string> gateway;
};

// Exit code: 0 after a stop, 1 when the server cannot start, 2 for a
// malformed address. `stopped` is asked every `wait` between checks.
int RunSimHartIp(const sim::SimResponder& loop, const SimHartIpRequest& request, std::ostream& out,
                 std::ostream& err, const std::function<bool()>& stopped,
                 const std::function<void(int)>& wait);

}  // namespace qt40::cli
