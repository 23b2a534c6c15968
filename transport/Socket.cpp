#include "transport/Socket.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

#include "transport/NameLookup.h"
#include "transport/SocketCalls.h"
#include "transport/SocketDeadline.h"

namespace qt40 {
namespace {

bool Raised(const std::atomic<bool>* abort) {
    return abort && abort->load();
}

}  // namespace

Socket::~Socket() {
    Close();
}

Socket::Socket(Socket&& other) noexcept {
    *this = std::move(other);
}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, kNoSocketHandle);
        type_ = other.type_;
        lastFault_ = other.lastFault_;
        lastError_ = std::move(other.lastError_);
    }
    return *this;
}

bool Socket::IsOpen() const {
    return handle_ != kNoSocketHandle;
}

bool Socket::Failed(SocketFault fault, const std::string& text) {
    lastFault_ = fault;
    lastError_ = text;
    return false;
}

bool Socket::FailedWithSystemError(const char* what) {
    const int error = SocketCalls::LastError();
    return Failed(SocketCalls::FaultOf(error),
                  std::string(what) + ": " + SocketCalls::ErrorText(error));
}

bool Socket::Create(int family, SocketType type) {
    Close();
    SocketCalls::Start();
    type_ = type;
    const char* failedStep = "socket";
    const SocketHandle s = SocketCalls::Open(family, type, &failedStep);
    if (s == kNoSocketHandle) return FailedWithSystemError(failedStep);
    handle_ = s;
    lastFault_ = SocketFault::None;
    lastError_.clear();
    return true;
}

void Socket::Close() {
    if (!IsOpen()) return;
    if (type_ == SocketType::Stream) SocketCalls::ShutdownSending(handle_);
    SocketCalls::Close(handle_);
    handle_ = kNoSocketHandle;
}

std::vector<SocketAddress> Socket::Resolve(const std::string& host, std::uint16_t port,
                                           SocketType type, int timeoutMs,
                                           const std::atomic<bool>* abort, SocketFault& fault,
                                           std::string& text) {
    return NameLookup::Resolve(host, port, type, timeoutMs, abort, fault, text);
}

bool Socket::WaitFor(bool writable, int timeoutMs, const std::atomic<bool>* abort) {
    const SocketDeadline deadline(timeoutMs);
    for (;;) {
        if (Raised(abort)) return Failed(SocketFault::Aborted, "aborted");
        const int n =
            SocketCalls::Wait(handle_, writable, std::min(deadline.MsLeft(), kSocketSliceMs));
        if (n > 0) return true;  // ready, or failed: the next call says which
        if (n < 0 && !SocketCalls::Interrupted(SocketCalls::LastError())) {
            return FailedWithSystemError("wait");
        }
        if (deadline.MsLeft() <= 0) return Failed(SocketFault::TimedOut, "timed out");
    }
}

bool Socket::Connect(const SocketAddress& address, SocketType type, int timeoutMs,
                     const std::atomic<bool>* abort) {
    if (!Create(address.Family(), type)) return false;
    if (SocketCalls::Connect(handle_, address) == 0) return true;
    const int error = SocketCalls::LastError();
    if (type == SocketType::Datagram || !SocketCalls::WouldBlock(error)) {
        FailedWithSystemError("connect");
        Close();
        return false;
    }
    if (!WaitFor(true, timeoutMs, abort)) {
        const SocketFault fault = lastFault_;
        const std::string text = fault == SocketFault::TimedOut
                                     ? "no connection to " + address.Text() + " within " +
                                           std::to_string(timeoutMs) + " ms"
                                     : lastError_;
        Close();
        return Failed(fault, text);
    }
    int result = 0;
    if (SocketCalls::ConnectResult(handle_, result) != 0) {
        FailedWithSystemError("connect");
        Close();
        return false;
    }
    if (result != 0) {
        Failed(SocketCalls::FaultOf(result),
               "connect to " + address.Text() + ": " + SocketCalls::ErrorText(result));
        Close();
        return false;
    }
    return true;
}

bool Socket::OpenDatagram(const SocketAddress& like) {
    return Create(like.Family(), SocketType::Datagram);
}

bool Socket::SetPeer(const SocketAddress& address) {
    if (!IsOpen()) return Failed(SocketFault::Other, "not open");
    if (SocketCalls::Connect(handle_, address) != 0) return FailedWithSystemError("connect");
    return true;
}

bool Socket::Listen(const SocketAddress& address, SocketType type) {
    if (!Create(address.Family(), type)) return false;
    SocketCalls::PrepareListening(handle_, type);
    if (SocketCalls::Bind(handle_, address) != 0) {
        FailedWithSystemError(("bind " + address.Text()).c_str());
        Close();
        return false;
    }
    if (type == SocketType::Stream && SocketCalls::Listen(handle_) != 0) {
        FailedWithSystemError("listen");
        Close();
        return false;
    }
    return true;
}

Socket Socket::Accept(SocketAddress* peer) {
    Socket accepted;
    if (!IsOpen()) return accepted;
    SocketAddress from;
    const SocketHandle s = SocketCalls::Accept(handle_, from);
    if (s == kNoSocketHandle) return accepted;
    accepted.handle_ = s;
    accepted.type_ = SocketType::Stream;
    if (peer) *peer = from;
    return accepted;
}

bool Socket::Send(std::span<const std::uint8_t> bytes, int timeoutMs,
                  const std::atomic<bool>* abort) {
    if (!IsOpen()) return Failed(SocketFault::Other, "not open");
    const SocketDeadline deadline(timeoutMs);
    std::size_t sent = 0;
    do {
        const auto n = SocketCalls::Send(handle_, bytes.subspan(sent));
        if (n >= 0) {
            sent += static_cast<std::size_t>(n);
            if (type_ == SocketType::Datagram) return true;
            continue;
        }
        const int error = SocketCalls::LastError();
        if (SocketCalls::Interrupted(error)) continue;
        if (!SocketCalls::WouldBlock(error)) return FailedWithSystemError("send");
        if (!WaitFor(true, deadline.MsLeft(), abort)) return false;
    } while (sent < bytes.size());
    return true;
}

bool Socket::SendTo(std::span<const std::uint8_t> bytes, const SocketAddress& to) {
    if (!IsOpen()) return Failed(SocketFault::Other, "not open");
    if (SocketCalls::SendTo(handle_, bytes, to) < 0) return FailedWithSystemError("sendto");
    return true;
}

Socket::Received Socket::Receive(std::span<std::uint8_t> buffer, int timeoutMs,
                                 const std::atomic<bool>* abort, SocketAddress* from) {
    if (!IsOpen()) {
        Failed(SocketFault::Other, "not open");
        return {0, lastFault_};
    }
    const SocketDeadline deadline(timeoutMs);
    for (;;) {
        // Before the bytes, however many wait: a peer that never stops
        // sending must not keep a stopping caller.
        if (Raised(abort)) {
            Failed(SocketFault::Aborted, "aborted");
            return {0, SocketFault::Aborted};
        }
        SocketAddress sender;
        const auto n = SocketCalls::ReceiveFrom(handle_, buffer, sender);
        if (n >= 0) {
            if (n == 0 && type_ == SocketType::Stream) {
                Failed(SocketFault::Closed, "the peer closed the connection");
                return {0, SocketFault::Closed};
            }
            if (from) *from = sender;
            return {static_cast<std::size_t>(n), SocketFault::None};
        }
        const int error = SocketCalls::LastError();
        if (SocketCalls::Interrupted(error)) continue;
        if (!SocketCalls::WouldBlock(error)) {
            FailedWithSystemError("receive");
            return {0, lastFault_};
        }
        if (deadline.MsLeft() <= 0) {
            Failed(SocketFault::TimedOut, "timed out");
            return {0, SocketFault::TimedOut};
        }
        if (!WaitFor(false, deadline.MsLeft(), abort)) return {0, lastFault_};
    }
}

SocketAddress Socket::LocalAddress() const {
    if (!IsOpen()) return {};
    return SocketCalls::LocalAddress(handle_);
}

std::vector<bool> Socket::WaitReadable(std::span<Socket* const> sockets, int timeoutMs) {
    std::vector<bool> ready(sockets.size(), false);
    std::vector<SocketHandle> handles;
    std::vector<std::size_t> index;
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        if (!sockets[i] || !sockets[i]->IsOpen()) continue;
        handles.push_back(sockets[i]->handle_);
        index.push_back(i);
    }
    if (handles.empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::max(timeoutMs, 0)));
        return ready;
    }
    const std::vector<bool> readable = SocketCalls::WaitReadable(handles, timeoutMs);
    for (std::size_t k = 0; k < handles.size(); ++k) {
        if (readable[k]) ready[index[k]] = true;
    }
    return ready;
}

}  // namespace qt40
