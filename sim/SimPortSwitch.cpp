#include "sim/SimPortSwitch.h"

#include "sim/SimInProcessServer.h"

namespace qt40::sim {

SimPortSwitch::SimPortSwitch(std::unique_ptr<SerialPort> system) : system_(std::move(system)) {}

bool SimPortSwitch::Open(const std::string& path, int readSliceMs) {
    Active().Close();
    simulator_ = SimInProcessServer::Find(path);
    return Active().Open(path, readSliceMs);
}

}  // namespace qt40::sim
