#pragma once
// What every subcommand of qt40cfg-cli runs with: the output and error
// streams (filtered, so that no file or device text can steer the terminal),
// the one way a failure is told, the interruption by a stop request or a
// signal, the link's timing and the link options of the command line.

#include <atomic>
#include <functional>
#include <ostream>
#include <string>

#include "base/LinkTiming.h"
#include "cli/CliConnection.h"
#include "cli/LinkOptions.h"
#include "cli/PrintableStream.h"

namespace qt40::cli {

enum ExitCode : int {
    kExitOk = 0,
    kExitFailed = 1,  // the device or the port did not do what was asked
    kExitUsage = 2,   // the command line itself is wrong
};

class CliContext {
public:
    CliContext(std::ostream& out, std::ostream& err);
    CliContext(const CliContext&) = delete;
    CliContext& operator=(const CliContext&) = delete;

    std::ostream& Out() { return out_; }
    std::ostream& Err() { return err_; }

    // What was printed leaves first, then "qt40cfg-cli: MESSAGE" as one line
    // on the error stream; returns `code`.
    int Fail(const std::string& message, int code = kExitFailed);
    // The same for a command line that is wrong: exit 2.
    int Usage(const std::string& message) { return Fail(message, kExitUsage); }

    // Ends a running `sim` or `monitor` (and any wait) soon; any thread.
    void RequestStop() { stop_ = true; }
    // Let SIGINT, SIGTERM and SIGHUP end waits; the caller has blocked them
    // in every thread, so they wait here instead of killing the process.
    void WatchSignals(bool on) { watchSignals_ = on; }
    // A stop request came, or one of those signals (taken here once).
    bool Interrupted();
    // Interrupted(), for the connections and procedures that ask it.
    std::function<bool()> Interruption() {
        return [this] { return Interrupted(); };
    }
    // Sleeps up to `ms`, returning early on a stop request or a signal.
    void WaitInterruptible(int ms);

    // Tests shorten the link's timing and the pause before a reconnect.
    void SetTiming(const LinkTiming& timing, int reconnectWaitMs);
    const LinkTiming& Timing() const { return timing_; }
    int ReconnectWaitMs() const { return reconnectWaitMs_; }

    // The port, address, line, trace and capture of this command line.
    LinkOptions& Link() { return link_; }
    const LinkOptions& Link() const { return link_; }
    // A connection's options from the link options and the timing.
    CliConnection::Options ConnectionOptions() const;

private:
    PrintableStream outFilter_;
    PrintableStream errFilter_;
    std::ostream& out_;
    std::ostream& err_;
    std::atomic<bool> stop_{false};
    bool watchSignals_ = false;
    LinkTiming timing_;
    int reconnectWaitMs_ = 500;
    LinkOptions link_;
};

}  // namespace qt40::cli
