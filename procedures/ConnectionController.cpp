#include "procedures/ConnectionController.h"

#include "link/RequestTable.h"

#include <utility>
#include "hart/ResponseCodes.h"
#include "transport/PortDefinition.h"

namespace qt40 {
namespace {

constexpr int kLastSearchAddress = 15;

}  // namespace

ConnectionController::ConnectionController(CommWorker& worker, Prompts& prompts,
                                           ConnectionView& view, Clock& clock)
    : worker_(worker), prompts_(prompts), view_(view), clock_(clock) {}

std::string ConnectionController::PortDefinition(const std::string& portName,
                                                 const LineSetting& line) {
    return ::qt40::PortDefinition::Text(portName, line);
}

int ConnectionController::PollingAddress() {
    return worker_.WithSession([](DeviceState& s) { return int{s.record.pollingAddress}; });
}

void ConnectionController::SetAddress(int address) {
    worker_.WithSession([address](DeviceState& s) {
        s.record.pollingAddress = static_cast<std::int16_t>(address);
        s.link.pollingAddress = address;
    });
}

bool ConnectionController::AskRetry(const std::string& key, BoxType type) {
    return prompts_.Message(key, {portName_}, type) == Answer::Retry;
}

CommResult ConnectionController::Connect() {
    const std::string definition = PortDefinition(portName_, line_);
    // Each step repeats while the user (or, searching, the address walk) says so.
    for (;;) {
        const CommResult opened = worker_.Link().OpenPort(definition);
        if (opened == kCommSuccess) break;
        if (const auto advice = worker_.Link().FailureMessage()) {
            // The port or the gateway itself is the trouble: say what to do
            // about it; walking the addresses of a search would only end in
            // "no device".
            if (prompts_.Message(advice->key, advice->args, BoxType::RetryCancelInfoSystemModal) ==
                Answer::Retry) {
                continue;
            }
            if (worker_.Searching()) HideProgress(ProgressKind::Search);
        } else if (worker_.Searching()) {
            const int address = PollingAddress();
            if (address < kLastSearchAddress) {
                SetAddress(address + 1);
                view_.SetProgress(static_cast<float>((address + 1) / 15.0 * 100.0), address + 1);
                continue;
            }
            SetAddress(-1);
            if (AskRetry("Err_Not_Device", BoxType::RetryCancelInfoSystemModal)) {
                SetAddress(0);
                continue;
            }
            SetAddress(0);
            HideProgress(ProgressKind::Search);
        } else if (AskRetry("Err_COM", BoxType::RetryCancelInfoSystemModal)) {
            continue;
        }
        StopConnection();
        view_.ClearTrendSelections();
        return opened;
    }
    for (;;) {
        const CommResult started = worker_.StartWorker();
        if (started == kCommSuccess) break;
        if (!AskRetry("Err_COM", BoxType::RetryCancelInfoSystemModal)) {
            StopConnection();
            return started;
        }
        if (worker_.Link().OpenPort(definition) != kCommSuccess) {
            StopConnection();
            return kCommPortNotOpened;
        }
    }
    connected_ = true;
    return worker_.SubmitRequest(WorkerRequest::Identify, false);
}

void ConnectionController::StopConnection() {
    worker_.StopWorker();
    connected_ = false;
    worker_.SetSearching(false);
    worker_.ClearRetryFlags();
    searchConfirmed_ = false;
    progressShown_ = false;
    view_.HideProgress(ProgressKind::Upload);
    view_.ConnectionClosed();
}

CommResult ConnectionController::ConnectDevice() {
    StopConnection();
    clock_.SleepMs(reconnectWaitMs_);
    return Connect();
}

CommResult ConnectionController::SearchDevice() {
    StopConnection();
    clock_.SleepMs(reconnectWaitMs_);
    worker_.SetStepCounter(0);
    ShowProgress(ProgressKind::Search, "LookingFor_Hart_Dev");
    worker_.SetSearching(true);
    return Connect();
}

CommResult ConnectionController::WritePollingAddress(int address) {
    worker_.WithSession([address](DeviceState& s) {
        s.writes.pollingAddress = static_cast<std::int16_t>(address);
    });
    return worker_.SubmitRequest(WorkerRequest::WritePollingAddress, true);
}

void ConnectionController::ShowProgress(ProgressKind kind, const std::string& key) {
    progressShown_ = true;
    view_.ShowProgress(kind, key);
}

void ConnectionController::HideProgress(ProgressKind kind) {
    progressShown_ = false;
    view_.HideProgress(kind);
}

bool ConnectionController::HandleNotification(const Notification& n) {
    if (!connected_) return false;
    switch (n.kind) {
        case NotificationKind::Failure:
            HandleFailure(n.request);
            return true;
        case NotificationKind::Progress:
            view_.SetProgress(n.percent, worker_.Searching() ? PollingAddress() : -1);
            return true;
        case NotificationKind::WorkerEnded:
            worker_.SetStepCounter(0);
            if (worker_.Searching()) {
                HideProgress(ProgressKind::Search);
                SearchConfirm();
            }
            return true;
        case NotificationKind::Completion:
            break;
    }
    switch (n.request) {
        case WorkerRequest::IdlePoll:
            if (!worker_.Paused() && !progressShown_) view_.PollCompleted(n.result);
            return true;
        case WorkerRequest::Identify:
        case WorkerRequest::Upload:
        case WorkerRequest::StartPolling:
            if (n.result == kCommExchangeFailed) {
                connected_ = false;
                worker_.SetSearching(false);
                HideProgress(ProgressKind::Upload);
                view_.ConnectionClosed();
            } else if (n.result == kCommAnswerRejected) {
                HideProgress(ProgressKind::Upload);
                SayConnectRefused();
            } else if (n.Completes(WorkerRequest::Identify)) {
                ShowProgress(ProgressKind::Upload, "Upload_Dev_Info");
                worker_.SubmitRequest(WorkerRequest::Upload, false);
            } else if (n.Completes(WorkerRequest::Upload)) {
                worker_.SubmitRequest(WorkerRequest::StartPolling, false);
            } else {
                HideProgress(ProgressKind::Upload);
                view_.ConnectionEstablished();
            }
            return true;
        case WorkerRequest::WritePollingAddress:
            if (n.result == kCommSuccess) {
                view_.AddressChanged(PollingAddress());
            } else if (n.result == kCommExchangeFailed) {
                connected_ = false;
                worker_.SetSearching(false);
                HideProgress(ProgressKind::Upload);
                view_.ConnectionClosed();
            } else {
                HideProgress(ProgressKind::Upload);
            }
            return true;
        default:
            return false;
    }
}

void ConnectionController::HandleFailure(WorkerRequest requestCode) {
    const LinkFailure failure = worker_.Link().LastFailure();
    identifyUnanswered_ = requestCode == WorkerRequest::Identify &&
                          failure == LinkFailure::NoAnswer && !worker_.Searching() &&
                          worker_.Link().Kind() == TransportKind::Serial;
    // No automatic retry for these: every try would fail the same way.
    const bool lineFailed = failure == LinkFailure::PortGone ||
                            (failure == LinkFailure::CarrierStuck && worker_.Searching());
    if (lineFailed || !(worker_.WriteRetry() && worker_.PointRetry())) view_.MarkCommFailure();
    if (lineFailed) {
        AskAboutLine(failure);
        return;
    }
    if (worker_.Searching()) {
        SearchStep();
    } else if (worker_.TakeWriteRetry() || worker_.TakePointRetry()) {
        // The first failure after a write (and the next after a table point) is
        // retried without asking.
        worker_.PurgePort();
        worker_.AnswerFailure(true);
    } else if (AskAboutFailure(failure)) {
        worker_.Link().RenewSession();
        worker_.PurgePort();
        worker_.AnswerFailure(true);
    } else {
        StopConnection();
        view_.ClearTrendSelections();
    }
}

bool ConnectionController::AskAboutFailure(LinkFailure failure) {
    // A network transport names what went wrong (a gateway's refusal, no
    // answer in time, the connection lost); a serial line has its own words.
    const DataLink& link = worker_.Link();
    if (const auto message = link.Kind() == TransportKind::Serial && !link.LinkMessage()
                                 ? std::nullopt
                                 : link.FailureMessage()) {
        return prompts_.Message(message->key, message->args, BoxType::RetryCancelInfoSystemModal) ==
               Answer::Retry;
    }
    if (failure == LinkFailure::PortGone) return AskRetry("Err_Port_Vanished", BoxType::RetryCancelInfoSystemModal);
    if (identifyUnanswered_) {
        // The line works but nobody is at this address: most often the
        // address is wrong, which no check of modem or wiring would find.
        return prompts_.Message("Err_No_Device_At_Address",
                                {static_cast<long long>(PollingAddress()), portName_},
                                BoxType::RetryCancelInfoSystemModal) == Answer::Retry;
    }
    return AskRetry(failure == LinkFailure::CarrierStuck ? "Err_Carrier_Stuck" : "Err_COM",
                    BoxType::RetryCancelInfoSystemModal);
}

void ConnectionController::AskAboutLine(LinkFailure failure) {
    const bool gone = failure == LinkFailure::PortGone;
    while (AskAboutFailure(failure)) {
        if (gone && worker_.Link().ReopenPort() != kCommSuccess) continue;
        if (!gone) worker_.Link().RenewSession();
        // A search moves on one address with the answer: this one again.
        if (worker_.Searching()) SetAddress(PollingAddress() - 1);
        worker_.PurgePort();
        worker_.AnswerFailure(true);
        return;
    }
    if (worker_.Searching()) HideProgress(ProgressKind::Search);
    StopConnection();
    view_.ClearTrendSelections();
}

void ConnectionController::SearchStep() {
    if (PollingAddress() < kLastSearchAddress) {
        worker_.PurgePort();
        worker_.AnswerFailure(true);
        return;
    }
    SetAddress(-1);
    worker_.SetStepCounter(-1);
    if (AskRetry("Err_Not_Device", BoxType::RetryCancelInfoSystemModal)) {
        worker_.PurgePort();
        worker_.AnswerFailure(true);  // moves to address 0, step 0
        return;
    }
    SetAddress(0);
    HideProgress(ProgressKind::Search);
    StopConnection();
    view_.ClearTrendSelections();
}

void ConnectionController::SearchConfirm() {
    if (!worker_.Searching() || searchConfirmed_) return;
    searchConfirmed_ = true;
    const int found = PollingAddress();
    // Which device answered, not only where: the worker read its tag and ID.
    const auto [tag, deviceId] = worker_.WithSession([](DeviceState& s) {
        const std::string& t = s.record.tag;
        const auto first = t.find_first_not_of(' ');
        std::string trimmed =
            first == std::string::npos ? "-" : t.substr(first, t.find_last_not_of(' ') - first + 1);
        return std::pair{trimmed,
                         s.record.deviceIdText.empty() ? std::string("-") : s.record.deviceIdText};
    });
    const Answer answer =
        prompts_.Message("Confr_Search_Address", {static_cast<long long>(found), tag, deviceId},
                         BoxType::YesNoCancelInfoSystemModal);
    if (answer == Answer::No) {
        SetAddress(found >= kLastSearchAddress ? 0 : found + 1);
        view_.AddressChanged(PollingAddress());
        SearchDevice();
    } else if (answer == Answer::Yes) {
        StopConnection();
        view_.AddressChanged(found);
        clock_.SleepMs(reconnectWaitMs_);
        Connect();
    } else {
        StopConnection();
        view_.AddressChanged(found);
    }
}

// The device answered but refused a request of the connection: without
// words the technician sees only the progress vanish.
void ConnectionController::SayConnectRefused() {
    const auto [command, code] = worker_.WithSession([](DeviceState& s) {
        return std::pair<int, int>{s.link.command, s.link.responseCode};
    });
    prompts_.Message("Err_Connect_Refused",
                     {static_cast<long long>(PollingAddress()), portName_,
                      static_cast<long long>(command),
                      ResponseCodeText(static_cast<std::uint8_t>(command),
                                       static_cast<std::uint8_t>(code))},
                     BoxType::OkWarning);
}

}  // namespace qt40
