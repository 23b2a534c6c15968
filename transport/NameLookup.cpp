#include "transport/NameLookup.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "transport/SocketCalls.h"
#include "transport/SocketDeadline.h"

namespace qt40 {
namespace {

// What the look-up thread hands over; shared, since the caller may be gone first.
struct Pending {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int result = 0;
    std::vector<SocketAddress> addresses;
};

}  // namespace

std::vector<SocketAddress> NameLookup::Resolve(const std::string& host, std::uint16_t port,
                                               SocketType type, int timeoutMs,
                                               const std::atomic<bool>* abort, SocketFault& fault,
                                               std::string& text) {
    SocketCalls::Start();
    fault = SocketFault::None;
    text.clear();

    // An address literal needs no name server.
    std::vector<SocketAddress> literal;
    if (SocketCalls::LookUp(host, port, type, true, literal) == 0) return literal;

    // Looked at before the look-up too: a quick one must not outrun a raised flag.
    if (abort && abort->load()) {
        fault = SocketFault::Aborted;
        text = "name lookup aborted";
        return {};
    }
    auto pending = std::make_shared<Pending>();
    try {
        std::thread([pending, host, port, type] {
            std::vector<SocketAddress> addresses;
            const int result = SocketCalls::LookUp(host, port, type, false, addresses);
            std::lock_guard lock(pending->mutex);
            pending->result = result;
            pending->addresses = std::move(addresses);
            pending->finished = true;
            pending->done.notify_all();
        }).detach();
    } catch (const std::system_error& e) {
        fault = SocketFault::Other;
        text = std::string("name lookup: ") + e.what();
        return {};
    }

    const SocketDeadline deadline(timeoutMs);
    std::unique_lock lock(pending->mutex);
    while (!pending->finished) {
        if (abort && abort->load()) {
            fault = SocketFault::Aborted;
            text = "name lookup aborted";
            return {};
        }
        const int left = deadline.MsLeft();
        if (left <= 0) {
            fault = SocketFault::TimedOut;
            text = "the name lookup of " + host + " took longer than " + std::to_string(timeoutMs) +
                   " ms";
            return {};
        }
        pending->done.wait_for(lock, std::chrono::milliseconds(std::min(left, kSocketSliceMs)));
    }
    if (pending->result != 0) {
        fault = SocketFault::HostNotFound;
        text = host + ": " + SocketCalls::LookUpErrorText(pending->result);
        return {};
    }
    if (pending->addresses.empty()) {
        fault = SocketFault::HostNotFound;
        text = host + ": no IPv4 or IPv6 address";
    }
    return pending->addresses;
}

}  // namespace qt40
