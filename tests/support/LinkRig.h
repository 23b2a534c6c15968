#pragma once
// The program's side of the line for tests, built by the station as the
// window builds it: the simulated transmitter behind an in-memory port on
// virtual time (silence costs nothing), a recording view, the prompts `P`
// and a procedure hook. The worker's own waits are real, so every wait on it
// in a test is bounded.

#include <cstddef>
#include <utility>
#include <vector>

#include "base/Clock.h"
#include "base/TraceSink.h"
#include "link/NotificationQueue.h"
#include "procedures/Station.h"
#include "sim/SimDevice.h"
#include "sim/SimLoopbackPort.h"
#include "tests/support/RecordingView.h"
#include "tests/support/RigHost.h"

namespace qt40::test {

// The command number of each request frame, in order.
std::vector<int> CommandsOf(const std::vector<std::vector<std::uint8_t>>& frames,
                            std::size_t from = 0);

template <class P>
class LinkRigOf {
public:
    explicit LinkRigOf(LinkTiming timing = {})
        : station{{clock, port, trace, queue, prompts, view, timing}} {
        controller.SetPortName("COM3");
    }
    ~LinkRigOf() { worker.StopWorker(); }
    LinkRigOf(const LinkRigOf&) = delete;
    LinkRigOf& operator=(const LinkRigOf&) = delete;

    // Runs `f` on the simulated device while the line is not using it.
    template <class F>
    decltype(auto) WithDevice(F&& f) {
        return port.WithDevice(std::forward<F>(f));
    }
    // Command numbers of every request written so far.
    std::vector<int> Commands() { return CommandsOf(port.Written()); }

    VirtualClock clock;
    sim::SimDevice device;
    sim::SimLoopbackPort port{device, clock};
    NullTraceSink trace;
    NotificationQueue queue;
    P prompts;
    RecordingView view;
    Station station;
    DeviceState& session = station.Session();
    DataLink& link = station.Link();
    CommWorker& worker = station.Worker();
    ConnectionController& controller = station.Controller();
    RigHost host{worker, clock};
};

}  // namespace qt40::test
