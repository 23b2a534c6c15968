#pragma once
// One connection without a window: the same port, link, worker and
// connection logic the window program uses, with the worker's notifications
// handed to the connection logic on the calling thread. The command-line tool
// and the fleet runner drive their devices through it.

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "base/Clock.h"
#include "link/CommWorker.h"
#include "procedures/ConnectionController.h"
#include "link/DataLink.h"
#include "hart/DeviceState.h"
#include "procedures/HeadlessPrompts.h"
#include "procedures/HeadlessView.h"
#include "base/LinkTiming.h"
#include "link/NotificationQueue.h"
#include "base/TraceSink.h"
#include "procedures/Station.h"
#include "transport/HartIpClient.h"
#include "transport/LineSetting.h"
#include "transport/SerialPort.h"

namespace qt40 {

// Why a connection step failed, for callers that act on the kind rather
// than print the message.
enum class ConnectionFailure {
    None,
    Interrupted,
    TimedOut,       // the worker went silent
    NoPortName,
    PortNotOpened,  // the port (or endpoint) could not be opened
    Refused,        // the device answered with a rejection
    PortGone,       // the port vanished during the exchange
    CarrierStuck,   // the modem's carrier never dropped: another master, or DCD held on
    NoAnswer,       // the port works, nobody answered at the address
    Busy,           // the device answered busy or "delayed response" until the link gave up
};

struct ConnectionOutcome {
    bool ok = false;
    std::string error;  // one line, when not ok
    ConnectionFailure failure = ConnectionFailure::None;
};

class HeadlessConnection {
public:
    struct Options {
        std::string port;
        LineSetting line;
        LinkTiming timing;
        int reconnectWaitMs = 500;
        bool trace = false;  // the hex trace on stderr
        TraceSink* traceSink = nullptr;  // the hex trace goes here instead; outlives the connection
        LinkObserver* observer = nullptr;  // told of every exchange
        int timeoutMs = 60000;  // longest silence of the worker before giving up
        // The serial port a serial name is opened on; empty: the system's.
        std::function<std::unique_ptr<SerialPort>()> makePort;
        // For a HART-IP name: the answer time-out and the session's timer.
        HartIpClientOptions hartIp;
        // A language file's words for a message key; empty: built-in English.
        std::function<std::string(const std::string& key, const MessageArgs& args)> words;
    };

    // `out` gets the search's "trying address N" lines. `interrupted` is
    // asked between notifications; true ends the command.
    HeadlessConnection(Options options, std::ostream& out, std::function<bool()> interrupted);
    ~HeadlessConnection();
    HeadlessConnection(const HeadlessConnection&) = delete;
    HeadlessConnection& operator=(const HeadlessConnection&) = delete;

    // Command 0 at `address`, decoded into the record.
    ConnectionOutcome Identify(int address);
    // Upward from `from`; on success the record holds the identity of the
    // device found and FoundAddress() its address.
    ConnectionOutcome Search(int from);
    // Identify, upload, start polling. `intercept` sees every notification
    // first and keeps those it returns true for (a procedure riding on the
    // connection, such as the file download).
    ConnectionOutcome Connect(int address,
                              const std::function<bool(const Notification&)>& intercept = {});
    // After Connect: calls `onPoll` for each idle poll until it returns false.
    ConnectionOutcome Monitor(const std::function<bool(int result)>& onPoll);
    void Disconnect();
    // After Connect: hands each notification to `handle` (true: consumed) or
    // else to the connection logic, until `done` holds; a device procedure
    // of several requests runs on it. An interruption ends the wait only when
    // `interruptible` (a loop must be left at level 0).
    ConnectionOutcome Drive(const std::function<bool()>& done,
                            const std::function<bool(const Notification&)>& handle,
                            bool interruptible = true);

    std::optional<int> FoundAddress() const { return found_; }
    DeviceRecord Record() { return worker_.RecordSnapshot(); }
    std::uint8_t DeviceStatus();
    CommWorker& Worker() { return worker_; }
    ConnectionController& Controller() { return controller_; }
    HeadlessPrompts& Questions() { return prompts_; }

private:
    enum class Wait { Done, TimedOut, Interrupted };
    // Hands notifications to `intercept` (true: consumed) or else to the
    // connection logic until `done` holds.
    Wait Pump(const std::function<bool()>& done,
              const std::function<bool(const Notification&)>& intercept = {},
              bool interruptible = true);
    void SetAddress(int address);
    ConnectionOutcome Failure(Wait wait, int address);
    bool Closed();
    void Begin(int address);
    // A transport's message in the language file's words, else in English.
    std::string Words(const TransportMessage& message) const;
    CommResult StartConnect();

    Options options_;
    std::ostream& out_;
    std::function<bool()> interrupted_;
    std::unique_ptr<SerialPort> port_;
    SteadyClock clock_;
    std::unique_ptr<TraceSink> trace_;
    NotificationQueue queue_;
    HeadlessPrompts prompts_;
    HeadlessView view_;
    Station station_;
    // Short names for the parts of the station.
    DataLink& link_;
    CommWorker& worker_;
    ConnectionController& controller_;
    std::optional<int> found_;
    int rejected_ = 0;  // request code that ended with 208, while connecting
    CommResult connectResult_ = kCommSuccess;
    bool opened_ = false;  // the port opened at least once in this command
};

}  // namespace qt40
