#pragma once
// qt40cfg-cli: the protocol core from a terminal. Each command prints its
// result on `out`; a failure is one line on `err` and a non-zero exit code.

#include <atomic>
#include <ostream>
#include <string>
#include <vector>

#include "cli/PrintableStream.h"
#include "base/LinkTiming.h"

namespace qt40::cli {

struct LinkOptions;
struct SimHartIpRequest;

enum ExitCode : int {
    kExitOk = 0,
    kExitFailed = 1,  // the device or the port did not do what was asked
    kExitUsage = 2,   // the command line itself is wrong
};

class CliApp {
public:
    CliApp(std::ostream& out, std::ostream& err);

    // `argv[0]` is the program name.
    int Run(int argc, const char* const* argv);
    // The arguments after the program name.
    int Run(const std::vector<std::string>& args);

    // Ends a running `sim` or `monitor` (and any wait) soon; any thread.
    void RequestStop() { stop_ = true; }
    // Let SIGINT and SIGTERM end waits; the caller has blocked them in every
    // thread, so they wait here instead of killing the process.
    void WatchSignals(bool on) { watchSignals_ = on; }
    // Tests shorten the link's timing and the pause before a reconnect.
    void SetTiming(const LinkTiming& timing, int reconnectWaitMs);

private:
    int Ports();
    int Identify(const LinkOptions& c);
    int Search(const LinkOptions& c, int from);
    int Upload(const LinkOptions& c, bool json, const std::string& outFile);
    int Monitor(const LinkOptions& c, int count);
    int Sim(int address, const std::string& model, bool realtime, int turnaroundMs,
            const std::vector<std::string>& faults, const std::string& valuesFile,
            const std::string& requestsFile, int devices, long long deviceId,
            const SimHartIpRequest& hartip);
    int Fail(const std::string& message);
    bool Interrupted();
    // Sleeps up to `ms`, returning early on a stop request or a signal.
    void WaitInterruptible(int ms);

    // Everything printed goes through these: no file or device text can
    // steer the terminal.
    PrintableStream outFilter_;
    PrintableStream errFilter_;
    std::ostream& out_;
    std::ostream& err_;
    std::atomic<bool> stop_{false};
    bool watchSignals_ = false;
    LinkTiming timing_;
    int reconnectWaitMs_ = 500;
};

}  // namespace qt40::cli
