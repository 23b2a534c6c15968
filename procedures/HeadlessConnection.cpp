#include "procedures/HeadlessConnection.h"

#include <algorithm>

#include "link/RequestTable.h"
#include "transport/PortOpenAdvice.h"
#include "transport/SubDeviceTransport.h"
#include "transport/TransportForName.h"

namespace qt40 {
namespace {

constexpr int kWatchdogMarginMs = 5000;

}  // namespace

HeadlessConnection::HeadlessConnection(Options options, std::ostream& out,
                                       std::function<bool()> interrupted)
    : options_(std::move(options)),
      out_(out),
      interrupted_(std::move(interrupted)),
      port_(options_.makePort ? options_.makePort() : SystemSerialPort()),
      trace_(options_.traceSink
                 ? std::make_unique<CallbackTraceSink>(
                       [to = options_.traceSink](std::string_view line) { to->Trace(line); })
             : options_.trace ? std::make_unique<StderrTraceSink>()
                              : TraceFromEnvironment()),
      view_(out_,
            [this] {
                return worker_.WithSession(
                    [](DeviceState& s) { return static_cast<int>(s.record.pollingAddress); });
            }),
      station_(Station::Parts{clock_, *port_, *trace_, queue_, prompts_, view_, options_.timing,
                              options_.observer}),
      link_(station_.Link()),
      worker_(station_.Worker()),
      controller_(station_.Controller()) {
    // The worker says nothing while one request runs: the watchdog waits at
    // least as long as the link may take before it gives up on it.
    if (IsNetworkPortName(options_.port)) {
        TransportTiming network;
        network.answerTimeoutMs = options_.hartIp.answerTimeoutMs;
        if (IsSubDevicePortName(options_.port)) {
            network.answerTimeoutMs = std::max(network.answerTimeoutMs, kSubDeviceAnswerTimeoutMs);
        }
        options_.timeoutMs =
            std::max(options_.timeoutMs,
                     DataLink::WorstTransactMs(options_.timing, network, true, options_.hartIp) +
                         kWatchdogMarginMs);
    } else {
        TransportTiming serial;
        serial.answerTimeoutMs = options_.timing.answerTimeoutMs;
        options_.timeoutMs =
            std::max(options_.timeoutMs,
                     DataLink::WorstTransactMs(options_.timing, serial, false, options_.hartIp) +
                         kWatchdogMarginMs);
    }
    controller_.SetPortName(options_.port);
    controller_.SetLine(options_.line);
    controller_.SetReconnectWaitMs(options_.reconnectWaitMs);
    worker_.SetReceiver(kReceiverConnectDevice);
    station_.SetHartIpOptions(options_.hartIp);
}

HeadlessConnection::~HeadlessConnection() {
    Disconnect();
}

void HeadlessConnection::Disconnect() {
    controller_.StopConnection();
    while (queue_.WaitNext(0)) {
    }
}

bool HeadlessConnection::Closed() {
    return !controller_.Connected() && !worker_.Running();
}

std::uint8_t HeadlessConnection::DeviceStatus() {
    return worker_.WithSession([](DeviceState& s) { return s.link.deviceStatus; });
}

void HeadlessConnection::SetAddress(int address) {
    worker_.WithSession([&](DeviceState& s) {
        s.record.pollingAddress = static_cast<std::int16_t>(address);
        s.link.pollingAddress = address;
    });
}

HeadlessConnection::Wait HeadlessConnection::Pump(
    const std::function<bool()>& done, const std::function<bool(const Notification&)>& intercept,
    bool interruptible) {
    // The worker reports at least once a poll cycle or an address tried;
    // a long silence means it is stuck, not that the device is slow.
    std::int64_t deadline = clock_.NowMs() + options_.timeoutMs;
    while (!done()) {
        if (interruptible && interrupted_ && interrupted_()) return Wait::Interrupted;
        const auto next = queue_.WaitNext(100);
        if (!next) {
            if (clock_.NowMs() > deadline) return Wait::TimedOut;
            continue;
        }
        deadline = clock_.NowMs() + options_.timeoutMs;
        const Notification& n = next->notification;
        if ((n.Completes(WorkerRequest::Identify) || n.Completes(WorkerRequest::Upload) ||
             n.Completes(WorkerRequest::StartPolling)) &&
            n.result == kCommAnswerRejected) {
            rejected_ = CodeOf(n.request);
        }
        if (intercept && intercept(n)) continue;
        controller_.HandleNotification(n);
    }
    return Wait::Done;
}

std::string HeadlessConnection::Words(const TransportMessage& message) const {
    if (options_.words) return options_.words(message.key, message.args);
    return link_.LastError();
}

ConnectionOutcome HeadlessConnection::Failure(Wait wait, int address) {
    ConnectionOutcome outcome;
    const std::string& port = options_.port;
    const std::string at = std::to_string(address);
    // Over the network the transport says what went wrong, in the words of
    // the language file where there is one.
    const bool network = link_.Kind() != TransportKind::Serial;
    const std::optional<TransportMessage> message = link_.FailureMessage();
    if (wait == Wait::Interrupted) {
        outcome.error = "interrupted";
        outcome.failure = ConnectionFailure::Interrupted;
    } else if (wait == Wait::TimedOut) {
        outcome.error = "no word from the worker on " + port + " for " +
                        std::to_string((options_.timeoutMs + 999) / 1000) + " s";
        outcome.failure = ConnectionFailure::TimedOut;
    } else if (connectResult_ == kCommNoPortName) {
        outcome.error = "no port name given";
        outcome.failure = ConnectionFailure::NoPortName;
    } else if (const auto advice = connectResult_ == kCommPortNotOpened
                                       ? PortOpenAdvice(link_.LastOpenError())
                                       : std::nullopt) {
        outcome.error = PortAdviceEnglish(*advice);
        outcome.failure = ConnectionFailure::PortNotOpened;
    } else if (connectResult_ == kCommPortNotOpened || (!link_.IsOpen() && !opened_)) {
        outcome.error = network && message ? Words(*message)
                                           : "cannot open port " + port + ": " + link_.LastError();
        outcome.failure = ConnectionFailure::PortNotOpened;
    } else if (rejected_ != 0) {
        const int code = worker_.WithSession([](DeviceState& s) { return s.link.responseCode; });
        outcome.error = "the device at address " + at + " refused request " +
                        std::to_string(rejected_) + " (response code " + std::to_string(code) + ")";
        outcome.failure = ConnectionFailure::Refused;
    } else if (link_.PortGone()) {
        outcome.error = network && message ? Words(*message)
                                           : "port " + port + " vanished: " + link_.LastError();
        outcome.failure = ConnectionFailure::PortGone;
    } else if (link_.LastFailure() == LinkFailure::StillBusy && link_.LinkMessage()) {
        outcome.error = "the device at address " + at + ": " + Words(*link_.LinkMessage());
        outcome.failure = ConnectionFailure::Busy;
    } else if (link_.LastFailure() == LinkFailure::CarrierStuck) {
        outcome.error = options_.words ? options_.words("Err_Carrier_Stuck", {port})
                                       : "the carrier of " + port + " never dropped";
        outcome.failure = ConnectionFailure::CarrierStuck;
    } else {
        outcome.error = "no answer from a device at address " + at + " on " + port;
        // The gateway's own word on it (a time-out, an error message, a NAK),
        // or the link's (a delayed response the carrier gave up on).
        if ((network || link_.LinkMessage()) && message) outcome.error += ": " + Words(*message);
        outcome.failure = ConnectionFailure::NoAnswer;
    }
    Disconnect();
    return outcome;
}

void HeadlessConnection::Begin(int address) {
    prompts_.Reset();
    view_.Reset();
    rejected_ = 0;
    found_.reset();
    opened_ = false;
    SetAddress(address);
}

CommResult HeadlessConnection::StartConnect() {
    connectResult_ = controller_.Connect();
    opened_ = link_.IsOpen();
    return connectResult_;
}

ConnectionOutcome HeadlessConnection::Identify(int address) {
    Begin(address);
    int identified = 0;
    // Command 0 as the identification only checks the frame; the identity read decodes it.
    const auto intercept = [&](const Notification& n) {
        if (n.Completes(WorkerRequest::Identify) && n.result == kCommSuccess) {
            worker_.SubmitRequest(WorkerRequest::ReadIdentity, false);
            return true;
        }
        if (n.Completes(WorkerRequest::ReadIdentity)) {
            identified = n.result;
            if (n.result == kCommAnswerRejected) rejected_ = CodeOf(n.request);
            return true;
        }
        return false;
    };
    StartConnect();
    const Wait wait =
        Pump([&] { return identified != 0 || rejected_ != 0 || Closed(); }, intercept);
    if (wait == Wait::Done && identified == kCommSuccess) {
        Disconnect();
        return {true, {}, ConnectionFailure::None};
    }
    return Failure(wait, address);
}

ConnectionOutcome HeadlessConnection::Search(int from) {
    Begin(from);
    // Nothing up to address 15: look once more from 0 when we did not start there.
    prompts_.SetSearchRestarts(from > 0 ? 1 : 0);
    controller_.StopConnection();
    while (queue_.WaitNext(0)) {
    }
    connectResult_ = controller_.SearchDevice();
    opened_ = opened_ || link_.IsOpen();
    const Wait wait = Pump([&] { return prompts_.FoundAddress().has_value() || Closed(); });
    if (wait != Wait::Done || connectResult_ == kCommPortNotOpened) return Failure(wait, from);
    found_ = prompts_.FoundAddress();
    if (!found_) found_ = view_.Address();
    Disconnect();
    if (!found_) {
        ConnectionOutcome outcome;
        outcome.error = "no device answered on " + options_.port;
        outcome.failure = ConnectionFailure::NoAnswer;
        return outcome;
    }
    const int address = *found_;
    auto identity = Identify(address);
    found_ = address;
    return identity;
}

ConnectionOutcome HeadlessConnection::Connect(
    int address, const std::function<bool(const Notification&)>& intercept) {
    Begin(address);
    StartConnect();
    const Wait wait =
        Pump([&] { return view_.Established() || rejected_ != 0 || Closed(); }, intercept);
    if (wait == Wait::Done && view_.Established()) return {true, {}, ConnectionFailure::None};
    return Failure(wait, address);
}

ConnectionOutcome HeadlessConnection::Monitor(const std::function<bool(int)>& onPoll) {
    bool more = true;
    view_.OnPoll([&](int result) {
        if (more) more = onPoll(result);
    });
    const Wait wait = Pump([&] { return !more || Closed(); });
    view_.OnPoll({});
    if (!more || wait == Wait::Interrupted) {
        Disconnect();
        return {true, {}, ConnectionFailure::None};
    }
    const int address = worker_.WithSession([](DeviceState& s) { return s.link.pollingAddress; });
    return Failure(wait, address);
}

ConnectionOutcome HeadlessConnection::Drive(const std::function<bool()>& done,
                                            const std::function<bool(const Notification&)>& handle,
                                            bool interruptible) {
    const Wait wait = Pump([&] { return done() || Closed(); }, handle, interruptible);
    if (wait == Wait::Done && !Closed()) return {true, {}, ConnectionFailure::None};
    const int address = worker_.WithSession([](DeviceState& s) { return s.link.pollingAddress; });
    return Failure(wait, address);
}

}  // namespace qt40
