#pragma once
// One connection of the command-line tool: the same port, link, worker and
// connection logic the window program uses, with the worker's notifications
// handed to the connection logic on the calling thread.

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "cli/CliPrompts.h"
#include "cli/CliView.h"
#include "hart/Clock.h"
#include "hart/CommWorker.h"
#include "hart/ConnectionController.h"
#include "hart/HartSession.h"
#include "hart/LinkTiming.h"
#include "hart/NotificationQueue.h"
#include "hart/SerialLink.h"
#include "hart/SerialPort.h"
#include "hart/TraceSink.h"

namespace qt40::cli {

// The --port option's help, as the system names its ports.
#ifdef _WIN32
inline constexpr const char* kPortHelp = "Serial port: COM3, COM12 or \\\\.\\COM12";
#else
inline constexpr const char* kPortHelp = "Serial port: a name under /dev or a path";
#endif

struct CliOutcome {
    bool ok = false;
    std::string error;  // one line, when not ok
};

class CliConnection {
public:
    struct Options {
        std::string port;
        LinkTiming timing;
        int reconnectWaitMs = 500;
        bool trace = false;  // the hex trace on stderr
        LinkObserver* observer = nullptr;  // told of every exchange
        int timeoutMs = 60000;  // longest silence of the worker before giving up
    };

    // `interrupted` is asked between notifications; true ends the command.
    CliConnection(Options options, std::ostream& out, std::function<bool()> interrupted);
    ~CliConnection();
    CliConnection(const CliConnection&) = delete;
    CliConnection& operator=(const CliConnection&) = delete;

    // Command 0 at `address`, decoded into the record.
    CliOutcome Identify(int address);
    // Upward from `from`; on success the record holds the identity of the
    // device found and FoundAddress() its address.
    CliOutcome Search(int from);
    // Identify, upload, start polling. `intercept` sees every notification
    // first and keeps those it returns true for (a procedure riding on the
    // connection, such as the file download).
    CliOutcome Connect(int address,
                       const std::function<bool(const Notification&)>& intercept = {});
    // After Connect: calls `onPoll` for each idle poll until it returns false.
    CliOutcome Monitor(const std::function<bool(int result)>& onPoll);
    void Disconnect();
    // After Connect: hands each notification to `handle` (true: consumed) or
    // else to the connection logic, until `done` holds; a device procedure
    // of several requests runs on it. An interruption ends the wait only when
    // `interruptible` (a loop must be left at level 0).
    CliOutcome Drive(const std::function<bool()>& done,
                     const std::function<bool(const Notification&)>& handle,
                     bool interruptible = true);

    std::optional<int> FoundAddress() const { return found_; }
    DeviceRecord Record() { return worker_.RecordSnapshot(); }
    std::uint8_t DeviceStatus();
    CommWorker& Worker() { return worker_; }
    ConnectionController& Controller() { return controller_; }
    CliPrompts& Questions() { return prompts_; }

private:
    enum class Wait { Done, TimedOut, Interrupted };
    // Hands notifications to `intercept` (true: consumed) or else to the
    // connection logic until `done` holds.
    Wait Pump(const std::function<bool()>& done,
              const std::function<bool(const Notification&)>& intercept = {},
              bool interruptible = true);
    void SetAddress(int address);
    CliOutcome Failure(Wait wait, int address);
    bool Closed();
    void Begin(int address);
    CommResult StartConnect();

    Options options_;
    std::ostream& out_;
    std::function<bool()> interrupted_;
    std::unique_ptr<SerialPort> port_;
    SteadyClock clock_;
    std::unique_ptr<TraceSink> trace_;
    HartSession session_;
    SerialLink link_;
    NotificationQueue queue_;
    CommWorker worker_;
    CliPrompts prompts_;
    CliView view_;
    ConnectionController controller_;
    std::optional<int> found_;
    int rejected_ = 0;  // request code that ended with 208, while connecting
    CommResult connectResult_ = kCommSuccess;
    bool opened_ = false;  // the port opened at least once in this command
};

}  // namespace qt40::cli
