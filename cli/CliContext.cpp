#include "cli/CliContext.h"

#ifndef _WIN32
#include <signal.h>
#endif

#include <chrono>
#include <thread>

namespace qt40::cli {

#ifndef _WIN32
namespace {

// SIGINT, SIGTERM or SIGHUP taken within `wait`: whether one came.
bool TakeSignal(const timespec& wait) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return sigtimedwait(&set, nullptr, &wait) > 0;
}

}  // namespace
#endif

CliContext::CliContext(std::ostream& out, std::ostream& err)
    : outFilter_(out), errFilter_(err), out_(outFilter_), err_(errFilter_) {}

int CliContext::Fail(const std::string& message, int code) {
    out_.flush();
    err_ << "qt40cfg-cli: " << message << '\n' << std::flush;
    return code;
}

bool CliContext::Interrupted() {
    if (stop_) return true;
#ifndef _WIN32
    if (watchSignals_ && TakeSignal(timespec{0, 0})) stop_ = true;
#endif
    return stop_;
}

void CliContext::WaitInterruptible(int ms) {
    if (Interrupted()) return;
#ifndef _WIN32
    if (watchSignals_) {
        if (TakeSignal(timespec{ms / 1000, (ms % 1000) * 1000000L})) stop_ = true;
        return;
    }
#endif
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void CliContext::SetTiming(const LinkTiming& timing, int reconnectWaitMs) {
    timing_ = timing;
    reconnectWaitMs_ = reconnectWaitMs;
}

CliConnection::Options CliContext::ConnectionOptions() const {
    return ConnectionOptionsFor(link_, timing_, reconnectWaitMs_);
}

}  // namespace qt40::cli
