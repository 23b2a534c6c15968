#include "sim/SimInProcessServer.h"

#include <map>
#include <mutex>

namespace qt40::sim {

namespace {

// The names in use, as the system's device namespace holds its ports.
struct Directory {
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<SerialPort>> ports;
    int next = 1;
};

Directory& Names() {
    static Directory directory;
    return directory;
}

}  // namespace

SimInProcessServer::SimInProcessServer(SimDevice device, SimPtyOptions options)
    : endpoint_(std::make_shared<Endpoint>(std::move(device))), options_(options) {
    LoopbackLine& line = endpoint_->port.Line();
    line.keepWritten = false;
    line.hasCarrierLine = false;
    line.turnaroundMs = options_.realtime ? options_.turnaroundMs : 0;
    line.msPerByte = options_.realtime && options_.bitsPerSecond > 0
                         ? options_.bitsPerByte * 1000.0 / options_.bitsPerSecond
                         : 0.0;
}

SimInProcessServer::~SimInProcessServer() {
    Stop();
}

bool SimInProcessServer::Start() {
    if (running_) return true;
    Directory& names = Names();
    std::lock_guard lock(names.mutex);
    name_ = "SIM" + std::to_string(names.next++);
    names.ports[name_] = std::shared_ptr<SerialPort>(endpoint_, &endpoint_->port);
    running_ = true;
    return true;
}

void SimInProcessServer::Stop() {
    if (!running_) return;
    {
        Directory& names = Names();
        std::lock_guard lock(names.mutex);
        names.ports.erase(name_);
    }
    endpoint_->port.Unplug();
    running_ = false;
}

std::shared_ptr<SerialPort> SimInProcessServer::Find(const std::string& name) {
    // The link opens "\\.\SIM1" on Windows and "/dev/SIM1" elsewhere.
    std::string bare = name;
    for (const std::string prefix : {"\\\\.\\", "/dev/"}) {
        if (bare.rfind(prefix, 0) == 0) bare.erase(0, prefix.size());
    }
    Directory& names = Names();
    std::lock_guard lock(names.mutex);
    auto it = names.ports.find(bare);
    return it == names.ports.end() ? nullptr : it->second;
}

}  // namespace qt40::sim
