#include "fleet/FleetRunner.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ostream>
#include <thread>

#include "hart/DeviceState.h"
#include "procedures/HeadlessConnection.h"
#include "base/TraceSink.h"
#include "traffic/ExchangeRecorder.h"
#include "traffic/ExchangeText.h"

namespace qt40::fleet {
namespace {

constexpr const char* kModelName = "QT40";

// The failures after which the rest of an endpoint's addresses would only
// fail the same way.
bool EndpointLost(ConnectionFailure f) {
    return f == ConnectionFailure::NoPortName || f == ConnectionFailure::PortNotOpened ||
           f == ConnectionFailure::PortGone || f == ConnectionFailure::TimedOut;
}

std::string AddressesText(const std::vector<int>& a) {
    if (a.size() == 1) return "address " + std::to_string(a.front());
    const bool contiguous = a.back() - a.front() + 1 == static_cast<int>(a.size());
    if (contiguous) return "addresses " + std::to_string(a.front()) + "-" + std::to_string(a.back());
    std::string text = "addresses";
    for (int n : a) text += " " + std::to_string(n);
    return text;
}

}  // namespace

std::string FleetDevice::Model() const {
    if (!record.deviceTypeName.empty()) return record.deviceTypeName;
    char text[64];
    std::snprintf(text, sizeof text, "manufacturer code 0x%02X, device type 0x%02X",
                  manufacturerCode, deviceTypeCode);
    return text;
}

FleetRunner::FleetRunner(Options options) : options_(std::move(options)) {}

bool FleetRunner::Interrupted() const {
    return options_.interrupted && options_.interrupted();
}

std::string FleetRunner::NothingAnswered(const FleetTarget& target) {
    return "no device answered at " + AddressesText(target.addresses) + " on " + target.endpoint;
}

FleetProgress FleetRunner::Run(const std::vector<FleetTarget>& targets) {
    progress_ = {};
    progress_.endpoints = static_cast<int>(targets.size());
    std::atomic<std::size_t> next{0};
    const std::size_t threads =
        std::min<std::size_t>(targets.size(), static_cast<std::size_t>(std::max(1, options_.jobs)));
    std::vector<std::thread> pool;
    pool.reserve(threads);
    for (std::size_t t = 0; t < threads; ++t) {
        pool.emplace_back([&] {
            while (!Interrupted()) {
                const std::size_t i = next++;
                if (i >= targets.size()) break;
                RunEndpoint(i, targets[i]);
            }
        });
    }
    for (std::thread& thread : pool) thread.join();
    // Interrupted: the endpoints never started are named too, so the summary
    // says what was not reached.
    for (std::size_t i = std::min(next.load(), targets.size()); i < targets.size(); ++i) {
        FleetEndpoint skipped;
        skipped.target = i;
        skipped.endpoint = targets[i].endpoint;
        skipped.error = "not reached: interrupted";
        Report([&] {
            ++progress_.failed;
            if (onEndpoint_) onEndpoint_(skipped);
        });
    }
    std::lock_guard lock(mutex_);
    return progress_;
}

void FleetRunner::RunEndpoint(std::size_t index, const FleetTarget& target) {
    HeadlessConnection::Options o;
    o.port = target.endpoint;
    o.timing = options_.timing;
    o.reconnectWaitMs = options_.reconnectWaitMs;
    o.hartIp = options_.hartIp;
    std::ostream quiet(nullptr);  // no search runs here, so nothing is printed

    // The trace of this endpoint, each line whole and named.
    std::atomic<int> tracedAddress{target.addresses.empty() ? 0 : target.addresses.front()};
    const auto trace = [&](std::string_view line) {
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
        const std::string named =
            target.endpoint + " address " + std::to_string(tracedAddress.load()) + ": " + std::string(line);
        std::lock_guard lock(mutex_);
        if (onTrace_) onTrace_(named);
    };
    CallbackTraceSink hex(trace);
    // Only finished exchanges are wanted, as they end: one is kept.
    traffic::ExchangeRecorder recorder(1);
    if (options_.trace == Options::Trace::Hex) o.traceSink = &hex;
    if (options_.trace == Options::Trace::Decoded) {
        recorder.OnFinished([&](const traffic::Exchange& e) {
            for (const std::string& line : traffic::TraceLines(e, options_.traceTexts)) trace(line);
        });
        o.observer = &recorder;
    }

    FleetEndpoint endpoint;
    endpoint.target = index;
    endpoint.endpoint = target.endpoint;
    bool lostWithDevice = false;  // the endpoint's failure is already counted with a device's
    for (int address : target.addresses) {
        if (Interrupted()) {
            endpoint.error = "interrupted";
            break;
        }
        tracedAddress = address;
        FleetDevice device;
        device.target = index;
        device.endpoint = target.endpoint;
        device.address = address;
        // A fresh connection for each device: nothing read from the one before
        // can end up in this one's record, and its backup is what a single
        // upload of it saves.
        HeadlessConnection connection(o, quiet, [this] { return Interrupted(); });
        const ConnectionOutcome identified = connection.Identify(address);
        if (!identified.ok) {
            if (identified.failure == ConnectionFailure::NoAnswer) continue;  // nobody there
            if (EndpointLost(identified.failure) ||
                identified.failure == ConnectionFailure::Interrupted) {
                endpoint.error = identified.error;
                break;
            }
            device.kind = FleetDevice::Kind::Failed;
            device.error = identified.error;
        } else {
            device.record = connection.Record();
            device.deviceStatus = connection.DeviceStatus();
            const auto id =
                connection.Worker().WithSession([](DeviceState& s) { return s.link.longAddress; });
            device.manufacturerCode = id[0];
            device.deviceTypeCode = id[1];
            if (device.record.deviceTypeName != kModelName) {
                device.kind = FleetDevice::Kind::OtherModel;
            } else {
                const ConnectionOutcome uploaded = connection.Connect(address);
                device.record = connection.Record();
                device.deviceStatus = connection.DeviceStatus();
                connection.Disconnect();
                if (!uploaded.ok) {
                    device.kind = FleetDevice::Kind::Failed;
                    device.error = uploaded.error;
                    if (EndpointLost(uploaded.failure)) {
                        endpoint.error = uploaded.error;
                        lostWithDevice = true;
                    }
                }
            }
        }
        ++endpoint.devices;
        Report([&] {
            ++progress_.devices;
            if (device.kind == FleetDevice::Kind::Failed) ++progress_.failed;
            if (onDevice_) onDevice_(device);
        });
        if (!endpoint.error.empty()) break;
    }
    // A loop on which nobody answered was not reached: say so rather than
    // let its devices drop out of a backup unnoticed.
    if (endpoint.error.empty() && endpoint.devices == 0) endpoint.error = NothingAnswered(target);
    Report([&] {
        ++progress_.endpointsDone;
        if (!endpoint.error.empty() && !lostWithDevice) ++progress_.failed;
        if (onEndpoint_) onEndpoint_(endpoint);
    });
}

}  // namespace qt40::fleet
