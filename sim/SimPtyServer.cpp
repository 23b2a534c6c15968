#include "sim/SimPtyServer.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace qt40::sim {

namespace {

using SteadyTime = std::chrono::steady_clock::time_point;

bool MakeRaw(int fd) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) return false;
    ::cfmakeraw(&t);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

}  // namespace

SimPtyServer::SimPtyServer(SimDevice device, SimPtyOptions options)
    : device_(std::move(device)), options_(options) {}

SimPtyServer::SimPtyServer(SimResponder responder, SimPtyOptions options)
    : responder_(std::move(responder)), options_(options) {}

SimPtyServer::~SimPtyServer() {
    Stop();
}

bool SimPtyServer::Start() {
    if (running_) return true;
    auto fail = [&](const char* what) {
        lastError_ = std::string(what) + ": " + std::strerror(errno);
        CloseAll();
        return false;
    };
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) return fail("posix_openpt");
    if (::grantpt(master_) != 0) return fail("grantpt");
    if (::unlockpt(master_) != 0) return fail("unlockpt");
    char name[128] = {};
    if (::ptsname_r(master_, name, sizeof name) != 0) return fail("ptsname");
    slavePath_ = name;
    // Holding the slave open keeps the master readable between clients; the
    // settings made on it here are what a client that sets nothing gets.
    slaveKeeper_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveKeeper_ < 0) return fail("open slave");
    if (!MakeRaw(slaveKeeper_) || !MakeRaw(master_)) return fail("raw mode");
    const int flags = ::fcntl(master_, F_GETFL);
    if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) return fail("fcntl");
    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) return fail("pipe");
    wakeRead_ = wake[0];
    wakeWrite_ = wake[1];

    stop_ = false;
    running_ = true;
    thread_ = std::thread([this] { Serve(); });
    return true;
}

void SimPtyServer::Stop() {
    if (thread_.joinable()) {
        stop_ = true;
        Wake();
        thread_.join();
    }
    running_ = false;
    CloseAll();
}

void SimPtyServer::CloseAll() {
    for (int* fd : {&master_, &slaveKeeper_, &wakeRead_, &wakeWrite_}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}

void SimPtyServer::Wake() {
    const char b = 1;
    if (wakeWrite_ >= 0) (void)!::write(wakeWrite_, &b, 1);
}

bool SimPtyServer::Pause(int ms) {
    if (stop_) return false;
    if (ms <= 0) return true;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const auto left = until - std::chrono::steady_clock::now();
        if (left <= std::chrono::nanoseconds(0)) return !stop_;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        pollfd p{wakeRead_, POLLIN, 0};
        const int r = ::ppoll(&p, 1, &ts, nullptr);
        if (r > 0 || stop_) return false;  // only Stop() writes the wake pipe
    }
}

bool SimPtyServer::WriteAll(const std::uint8_t* bytes, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        if (stop_) return false;
        const ssize_t w = ::write(master_, bytes + done, n - done);
        if (w > 0) {
            done += static_cast<std::size_t>(w);
            bytesSent_ += static_cast<std::uint64_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // The client is not reading: wait for room, or for Stop().
            pollfd p[2] = {{master_, POLLOUT, 0}, {wakeRead_, POLLIN, 0}};
            if (::poll(p, 2, 100) < 0 && errno != EINTR) return false;
            if (p[1].revents) return false;
            continue;
        }
        return false;
    }
    return true;
}

void SimPtyServer::Answer(const SimReply& reply) {
    const std::size_t total = reply.bytes.size();
    const std::size_t gapAt = reply.gapMs > 0 && reply.gapAfter < total ? reply.gapAfter : total;
    if (!options_.realtime) {
        if (!WriteAll(reply.bytes.data(), gapAt)) return;
        if (gapAt < total &&
            (!Pause(reply.gapMs) || !WriteAll(reply.bytes.data() + gapAt, total - gapAt))) {
            return;
        }
        return;
    }
    if (!Pause(options_.turnaroundMs)) return;
    // Each byte leaves when its last bit would have crossed the loop.
    const auto byteTime =
        std::chrono::nanoseconds(static_cast<std::int64_t>(options_.bitsPerByte) * 1000000000LL /
                                 std::max(1, options_.bitsPerSecond));
    auto start = std::chrono::steady_clock::now();
    std::size_t sentSinceStart = 0;
    for (std::size_t i = 0; i < total; ++i) {
        if (i == gapAt) {
            if (!Pause(reply.gapMs)) return;
            start = std::chrono::steady_clock::now();
            sentSinceStart = 0;
        }
        const auto due = start + byteTime * static_cast<std::int64_t>(sentSinceStart + 1);
        const auto left = due - std::chrono::steady_clock::now();
        if (left > std::chrono::nanoseconds(0)) {
            const auto us = std::chrono::duration_cast<std::chrono::microseconds>(left).count();
            if (!Pause(static_cast<int>((us + 999) / 1000))) return;
        }
        if (!WriteAll(&reply.bytes[i], 1)) return;
        ++sentSinceStart;
    }
}

void SimPtyServer::Serve() {
    SimFrameAssembler assembler;
    std::uint8_t buffer[256];
    // In real time a request reaches the device only once all of it has
    // crossed the loop, counted from the arrival of its first byte.
    std::size_t requestBytes = 0;
    auto requestStart = std::chrono::steady_clock::now();
    while (!stop_) {
        pollfd p[2] = {{master_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        const int r = ::poll(p, 2, -1);
        if (r < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (p[1].revents) continue;  // Stop(): the loop condition ends it
        if (!(p[0].revents & POLLIN)) {
            // No reader on the other side for a moment: do not spin.
            if (!Pause(10)) break;
            continue;
        }
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (!Pause(10)) break;
            continue;
        }
        const auto arrived = std::chrono::steady_clock::now();
        for (ssize_t i = 0; i < n && !stop_; ++i) {
            if (requestBytes++ == 0) requestStart = arrived;
            auto frame = assembler.Feed(buffer[i]);
            if (!frame) continue;
            ++requests_;
            if (options_.realtime) {
                const auto onLoop = ByteTime() * static_cast<std::int64_t>(requestBytes);
                const auto left = requestStart + onLoop - std::chrono::steady_clock::now();
                if (!Pause(static_cast<int>(
                        std::chrono::ceil<std::chrono::milliseconds>(left).count()))) {
                    break;
                }
            }
            requestBytes = 0;
            const auto reply = WithDevice([&](SimDevice& d) {
                auto answer = responder_ ? responder_(*frame) : d.Handle(*frame);
                if (answer && observer_) observer_(*answer);
                return answer;
            });
            if (reply) Answer(*reply);
        }
    }
}

std::chrono::nanoseconds SimPtyServer::ByteTime() const {
    return std::chrono::nanoseconds(static_cast<std::int64_t>(options_.bitsPerByte) * 1000000000LL /
                                    std::max(1, options_.bitsPerSecond));
}

}  // namespace qt40::sim
