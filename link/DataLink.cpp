#include "link/DataLink.h"

#include <cstdio>
#include <string>

#include "hart/HartFrame.h"
#include "hart/ResponseCodes.h"
#include "transport/PortDefinition.h"

namespace qt40 {
namespace {

std::string Hex(const std::uint8_t* bytes, std::size_t n) {
    std::string text;
    char item[8];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(item, sizeof item, "%02X,", bytes[i]);
        text += item;
    }
    return text;
}

}  // namespace

DataLink::DataLink(TransportSource& transports, Clock& clock, TraceSink& trace, LinkTiming timing)
    : transports_(transports), clock_(clock), trace_(trace), timing_(timing),
      transport_(&transports.CurrentTransport()) {}

DataLink::~DataLink() { ClosePort(); }

CommResult DataLink::OpenPort(const std::string& definition) {
    const PortDefinition parsed = PortDefinition::Parse(definition);
    portName_ = parsed.name;
    line_ = parsed.line;
    definition_ = definition;
    failure_ = LinkFailure::None;
    linkMessage_.reset();
    linkError_.clear();
    if (portName_.empty()) return kCommNoPortName;
    transport_ = &transports_.TransportFor(portName_);
    transport_->SetSessionObserver(observer_);
    transport_->SetLine(line_);
    const CommResult opened = transport_->Open(portName_);
    if (opened != kCommSuccess) return opened;
    portGone_ = false;
    abort_ = false;
    transport_->Abort(false);
    if (LinkObserver* observer = observer_) observer->TransportOpened(transport_->Kind());
    return kCommSuccess;
}

CommResult DataLink::ReopenPort() {
    if (definition_.empty()) return kCommNoPortName;
    return OpenPort(std::string(definition_));
}

void DataLink::ClosePort() {
    // A network session is closed with the server: that is no wait to cut short.
    transport_->Abort(false);
    transport_->Close();
    transport_->Abort(abort_);
}

void DataLink::Abort(bool on) {
    abort_ = on;
    transport_->Abort(on);
}

bool DataLink::CheckGone() {
    if (!transport_->Gone()) return false;
    portGone_ = true;
    failure_ = LinkFailure::PortGone;
    return true;
}

CommResult DataLink::SendFrame(std::span<const std::uint8_t> frame) {
    // A transport that takes no preambles gets the frame from its delimiter.
    if (transport_->Timing().requestPreambles == 0) {
        frame = frame.subspan(HartFrame::PreamblesIn(frame));
    }
    LinkObserver* observer = observer_;
    // The answer must be to this command: a late answer to an earlier request
    // (one that came after we gave up on it) is not this one's.
    expected_ = HartFrame::CommandOf(frame);
    if (portGone_) {
        failure_ = LinkFailure::PortGone;
        if (observer) observer->RequestNotSent(frame, attempt_, SendFailure::PortClosed);
        return kCommExchangeFailed;
    }
    const bool network = transport_->Kind() != TransportKind::Serial;
    const SendResult sent = transport_->Send(frame, [&](std::span<const std::uint8_t> onTheWire) {
        if (observer) {
            if (network) observer->RequestMessage(onTheWire);
            observer->RequestSent(frame, attempt_);
        }
        trace_.Trace("TX: " + Hex(frame.data(), frame.size()) + "\n");
    });
    if (sent.sent) return kCommSuccess;
    if (!CheckGone()) {
        failure_ = sent.why == SendFailure::LineBusy ? LinkFailure::CarrierStuck : LinkFailure::WriteFailed;
    }
    if (observer) observer->RequestNotSent(frame, attempt_, sent.why);
    return kCommExchangeFailed;
}

CommResult DataLink::ReceiveFrame() {
    const TransportTiming times = transport_->Timing();
    const int timeout = searching_ ? times.searchAnswerTimeoutMs : times.answerTimeoutMs;
    received_ = 0;
    ReceiveResult got;
    if (portGone_) {
        got.end = ReceiveEnd::PortLost;
    } else {
        got = transport_->Receive(receiveBuffer_, timeout);
        received_ = std::min(got.size, receiveBuffer_.size());
    }
    CommResult result = kCommExchangeFailed;
    if (got.end == ReceiveEnd::Answer) {
        const bool ours = !expected_ || HartFrame::CommandOf(Received()) == *expected_;
        if (ours) {
            result = kCommSuccess;
        } else {
            got.end = ReceiveEnd::OtherCommand;
        }
    }
    if (LinkObserver* observer = observer_) {
        if (!got.message.empty()) observer->AnswerMessage(got.message);
        observer->ReceiveEnded(Received(), got.preambles, got.end);
    }
    TraceReceived(got.preambles, result);
    if (result != kCommSuccess && !CheckGone()) {
        failure_ = portGone_ ? LinkFailure::PortGone : LinkFailure::NoAnswer;
    }
    return result;
}

void DataLink::TraceReceived(int preambles, CommResult result) {
    std::string line = "RX: ";
    for (int i = 0; i < preambles; ++i) line += "FF,";
    line += Hex(receiveBuffer_.data(), received_);
    if (result != kCommSuccess) {
        line += "Error";
    } else {
        const std::optional<std::uint8_t> code = HartFrame::Parse(Received()).frame.ResponseCode();
        if (code && (*code & 0x80)) line += "Communication Error";
    }
    trace_.Trace(line + "\n");
}

std::optional<std::uint8_t> DataLink::ReceivedCode() const {
    const std::optional<std::uint8_t> code = HartFrame::Parse(Received()).frame.ResponseCode();
    // Communication error flags are no response code.
    if (!code || (*code & 0x80)) return std::nullopt;
    return code;
}

void DataLink::Pause(int ms) {
    const std::int64_t end = clock_.NowMs() + ms;
    for (std::int64_t left = ms; left > 0 && !abort_; left = end - clock_.NowMs()) {
        clock_.SleepMs(static_cast<int>(std::min<std::int64_t>(left, 20)));
    }
}

void DataLink::JudgedByLink(std::string key, MessageArgs args, std::string english) {
    linkMessage_ = TransportMessage{std::move(key), std::move(args)};
    linkError_ = std::move(english);
    trace_.Trace(linkError_ + "\n");
}

std::optional<TransportMessage> DataLink::FailureMessage() const {
    if (linkMessage_) return linkMessage_;
    return transport_->FailureMessage();
}

CommResult DataLink::Transact(std::span<const std::uint8_t> frame) {
    const int tries = searching_ ? timing_.searchTries : timing_.tries;
    const TransportTiming times = transport_->Timing();
    const int busyLimit =
        timing_.BusyLimitMs(searching_ ? times.searchAnswerTimeoutMs : times.answerTimeoutMs);
    linkMessage_.reset();
    linkError_.clear();
    CommResult result = kCommExchangeFailed;
    bool stillBusy = false;
    std::optional<std::int64_t> busySince;
    int sends = 0;
    for (int i = 0; i < tries && !portGone_ && !abort_;) {
        attempt_ = ++sends;
        result = SendFrame(frame);
        if (result == kCommSuccess) result = ReceiveFrame();
        const std::optional<std::uint8_t> code =
            result == kCommSuccess ? ReceivedCode() : std::nullopt;
        if (code && AsksForRepeat(*code)) {
            // Not refused and not done: the same request once more, until the real answer.
            result = kCommExchangeFailed;
            const std::int64_t now = clock_.NowMs();
            if (!busySince) busySince = now;
            const std::string what = "response code " + std::to_string(*code) + ", " +
                                     ResponseCodeText(expected_.value_or(0), *code);
            if (now - *busySince >= busyLimit) {
                stillBusy = true;
                // Whole seconds, as a person counts them: never "0 s".
                const long long seconds = std::max<long long>(1, (now - *busySince + 500) / 1000);
                JudgedByLink("Err_Device_Busy", {portName_, seconds, what},
                             "the device on " + portName_ + " stayed busy for " +
                                 std::to_string(seconds) + " s (last answer: " + what + ")");
                break;
            }
            trace_.Trace("(" + what + ": the same request again)\n");
            Pause(timing_.busyPauseMs);
            continue;
        }
        if (code && IsDelayedResponseDead(*code)) {
            result = kCommExchangeFailed;
            failure_ = LinkFailure::NoAnswer;
            JudgedByLink("Err_Delayed_Response_Dead", {portName_},
                         "the device behind " + portName_ +
                             " did not answer (response code 35, delayed response dead)");
        } else if (result != kCommSuccess) {
            // This try failed on the way: the transport has the words for it.
            linkMessage_.reset();
            linkError_.clear();
        }
        if (result == kCommSuccess) break;
        ++i;
    }
    attempt_ = 1;
    if (result == kCommSuccess) {
        failure_ = LinkFailure::None;
        return result;
    }
    if (stillBusy) failure_ = LinkFailure::StillBusy;
    if (portGone_) failure_ = LinkFailure::PortGone;
    return kCommExchangeFailed;
}

int DataLink::WorstTransactMs(const LinkTiming& timing, const TransportTiming& transport,
                              bool network, const HartIpClientOptions& hartIp) {
    long long perTry = transport.answerTimeoutMs;
    if (network) {
        // A session to start (connection, initiate) and one reopened after the
        // server closed it instead of answering.
        perTry = 2LL * (hartIp.connectTimeoutMs + hartIp.answerTimeoutMs) + hartIp.closeTimeoutMs +
                 transport.answerTimeoutMs;
    } else {
        // The line to go quiet, the request's time on the loop, the answer's.
        const int frameMs = timing.TransmitMs(static_cast<int>(kMaxFrameSize));
        perTry += timing.quietLineMs + timing.carrierTimeoutMs + 2LL * frameMs + timing.interByteTimeoutMs;
    }
    const long long worst = perTry * timing.tries + timing.BusyLimitMs(transport.answerTimeoutMs) +
                            perTry + timing.busyPauseMs;
    return static_cast<int>(std::min<long long>(worst, 24LL * 3600 * 1000));
}

void DataLink::PurgePort() {
    if (!transport_->IsOpen()) return;
    transport_->Purge();
    CheckGone();
}

void DataLink::ClearError() {
    if (!transport_->IsOpen()) return;
    transport_->ClearError();
    CheckGone();
}

}  // namespace qt40
