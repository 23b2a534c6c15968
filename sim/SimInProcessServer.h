#pragma once
// The simulated transmitter inside this process, reached by a port name
// ("SIM1", "SIM2" ...) the way a pseudo-terminal is reached by its path. For
// Windows, which has no pseudo-terminals: the demo and the window tests
// connect to it through the window program's own port (SimPortSwitch). The
// same pacing as the pseudo-terminal server, the same device lock.

#include <cstdint>
#include <memory>
#include <string>

#include "base/Clock.h"
#include "transport/SerialPort.h"
#include "sim/SimDevice.h"
#include "sim/SimLoopbackPort.h"
#include "sim/SimPtyServer.h"

namespace qt40::sim {

class SimInProcessServer {
public:
    explicit SimInProcessServer(SimDevice device = SimDevice{}, SimPtyOptions options = {});
    ~SimInProcessServer();
    SimInProcessServer(const SimInProcessServer&) = delete;
    SimInProcessServer& operator=(const SimInProcessServer&) = delete;

    // Gives the device its name; from now on Find() hands out its port.
    bool Start();
    // The name is withdrawn and a client still holding the port sees the
    // line gone. Safe to call twice.
    void Stop();
    bool Running() const { return running_; }

    // The port name a client opens; empty before Start().
    const std::string& SlavePath() const { return name_; }
    const std::string& LastError() const { return lastError_; }
    const SimPtyOptions& Options() const { return options_; }

    template <class F>
    decltype(auto) WithDevice(F&& f) {
        return endpoint_->port.WithDevice(std::forward<F>(f));
    }
    std::uint64_t RequestCount() const { return endpoint_->port.FrameCount(); }

    // The port of the running server called `name` (also as a device path,
    // "\\.\SIM1" or "/dev/SIM1"); null for any other name.
    static std::shared_ptr<SerialPort> Find(const std::string& name);

private:
    struct Endpoint {
        explicit Endpoint(SimDevice d) : device(std::move(d)) {}
        SimDevice device;
        SteadyClock clock;
        SimLoopbackPort port{device, clock};
    };

    std::shared_ptr<Endpoint> endpoint_;
    SimPtyOptions options_;
    std::string name_;
    std::string lastError_;
    bool running_ = false;
};

}  // namespace qt40::sim
