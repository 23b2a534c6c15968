#include "transport/SubDeviceTransport.h"

#include <algorithm>
#include <cstdio>

#include "hart/HartFrame.h"
#include "hart/HartLink.h"
#include "hart/ResponseCodes.h"

namespace qt40 {
namespace {

std::string Hex(std::span<const std::uint8_t> bytes) {
    std::string text;
    char item[8];
    for (std::uint8_t b : bytes) {
        std::snprintf(item, sizeof item, "%02X,", b);
        text += item;
    }
    return text;
}

std::string CodeWords(std::uint8_t code) {
    return "response code " + std::to_string(code) + ", " +
           ResponseCodeText(kCmdSendToSubDevice, code);
}

// The preamble counts a device may ask for in its command 0 answer.
constexpr int kFewestPreambles = 2;
constexpr int kMostPreambles = 20;

}  // namespace

SubDeviceTransport::SubDeviceTransport(std::unique_ptr<FrameTransport> server,
                                       SubDeviceOptions options, TraceSink* trace, Clock* clock)
    : server_(std::move(server)),
      options_(options),
      trace_(trace ? *trace : silent_),
      clock_(clock ? *clock : steady_) {}

SubDeviceTransport::~SubDeviceTransport() {
    Close();
}

std::string SubDeviceTransport::PlaceText() const {
    return "card " + std::to_string(place_.card) + " channel " + std::to_string(place_.channel);
}

TransportTiming SubDeviceTransport::Timing() const {
    TransportTiming t = server_->Timing();
    t.answerTimeoutMs = std::max(t.answerTimeoutMs, options_.answerTimeoutMs);
    t.searchAnswerTimeoutMs = std::max(t.searchAnswerTimeoutMs, options_.searchAnswerTimeoutMs);
    return t;
}

void SubDeviceTransport::SetSessionObserver(SessionMessageObserver* observer) {
    observer_ = observer;
    server_->SetSessionObserver(observer);
}

void SubDeviceTransport::Abort(bool on) {
    abort_ = on;
    server_->Abort(on);
}

std::optional<TransportMessage> SubDeviceTransport::FailureMessage() const {
    if (!failureText_.empty()) return failure_;
    return server_->FailureMessage();
}

std::string SubDeviceTransport::LastError() const {
    return failureText_.empty() ? server_->LastError() : failureText_;
}

void SubDeviceTransport::Failed(std::string key, MessageArgs args, std::string english) {
    failure_ =
        key.empty()
            ? std::nullopt
            : std::optional<TransportMessage>(TransportMessage{std::move(key), std::move(args)});
    failureText_ = std::move(english);
    Trace("(" + failureText_ + ")");
}

void SubDeviceTransport::Tell(std::span<const std::uint8_t> message, bool sent) {
    if (SessionMessageObserver* observer = observer_; observer && !message.empty()) {
        observer->SessionMessage(message, sent, server_->Kind());
    }
}

void SubDeviceTransport::Pause(int ms) {
    const std::int64_t end = clock_.NowMs() + ms;
    for (std::int64_t left = ms; left > 0 && !abort_; left = end - clock_.NowMs()) {
        clock_.SleepMs(static_cast<int>(std::min<std::int64_t>(left, 20)));
    }
}

// ---- opening and closing ----------------------------------------------------

CommResult SubDeviceTransport::Open(const std::string& name) {
    Close();
    name_ = name;
    failure_.reset();
    failureText_.clear();
    abort_ = false;
    if (name.find_first_not_of(" \t") == std::string::npos) return kCommNoPortName;
    std::string why;
    const std::optional<HartIpEndpoint> endpoint = ParseHartIpUrl(name, &why);
    if (!endpoint || !endpoint->SubDevice()) {
        if (endpoint) why = "no card and channel are named";
        Failed("Err_HartIp_Url_Why", {name, why}, name + " is not a HART-IP address: " + why);
        return kCommPortNotOpened;
    }
    place_ = {*endpoint->card, *endpoint->channel};
    serverUrl_ = endpoint->ServerUrl();
    preambles_ = kRequestPreambles;
    const CommResult opened = server_->Open(serverUrl_);
    if (opened != kCommSuccess) return opened;
    if (!ReadIdentity()) {
        server_->Close();
        return kCommPortNotOpened;
    }
    Trace("(" + PlaceText() + " of " + serverUrl_ + " through command 77, I/O system " +
          Hex(ioAddress_) + ")");
    open_ = true;
    return kCommSuccess;
}

bool SubDeviceTransport::ReadIdentity() {
    const std::uint8_t pollingAddress = 0;
    const std::vector<std::uint8_t> frame =
        HartFrame::Make(FrameKind::Request, std::span(&pollingAddress, 1), 0, {})->Bytes();
    const int tries = 3;
    for (int attempt = 0; attempt < tries && !abort_; ++attempt) {
        const SendResult sent =
            server_->Send(frame, [this](std::span<const std::uint8_t> m) { Tell(m, true); });
        if (!sent.sent) return false;  // the server's words say why
        const Final f = AwaitFinal(frame, clock_.NowMs() + options_.answerTimeoutMs);
        Tell(f.got.message, false);
        if (f.timedOut) {
            const std::string words = CodeWords(f.lastCode);
            Failed("Err_SubDevice_No_Identity", {serverUrl_, words},
                   serverUrl_ + " did not identify itself as an I/O system (" + words + ")");
            return false;
        }
        if (f.got.end == ReceiveEnd::Answer && f.code) {
            const ParsedFrame parsed = HartFrame::Parse({buffer_.data(), f.got.size});
            const auto address =
                *f.code == 0 ? LongAddressFromIdentity(parsed.frame.Payload()) : std::nullopt;
            if (!address) {
                const std::string words =
                    *f.code == 0 ? std::string("an identity too short") : CodeWords(*f.code);
                Failed("Err_SubDevice_No_Identity", {serverUrl_, words},
                       serverUrl_ + " did not identify itself as an I/O system (" + words + ")");
                return false;
            }
            ioAddress_ = *address;
            return true;
        }
        if (server_->Gone() || f.got.end == ReceiveEnd::Aborted) return false;
    }
    return false;
}

void SubDeviceTransport::Close() {
    open_ = false;
    pending_.clear();
    command_.reset();
    server_->Close();
}

// ---- exchanges --------------------------------------------------------------

SendResult SubDeviceTransport::Send(std::span<const std::uint8_t> request, const Written& written) {
    pending_.clear();
    command_.reset();
    failure_.reset();
    failureText_.clear();
    if (!open_) return server_->Send(request, written);  // the server says it is not connected
    const ParsedFrame parsed = HartFrame::Parse(request);
    const std::optional<std::vector<std::uint8_t>> data =
        parsed.Whole() ? SubDeviceRequestData(place_, preambles_, request) : std::nullopt;
    if (!data) {
        Failed({}, {}, "the request does not fit in a command 77 to " + PlaceText());
        return SendResult{false, SendFailure::WriteFailed};
    }
    // The I/O system is addressed as the request addresses its device: the
    // same master.
    std::array<std::uint8_t, 5> address = ioAddress_;
    address[0] = static_cast<std::uint8_t>(address[0] | (parsed.frame.Address()[0] & 0x80));
    std::vector<std::uint8_t> frame =
        HartFrame::Make(FrameKind::Request, address, kCmdSendToSubDevice, *data)->Bytes();
    const SendResult sent = server_->Send(frame, [&](std::span<const std::uint8_t> onTheWire) {
        if (written) written(onTheWire);
        Trace("(" + PlaceText() + " through command 77: " + Hex(frame) + ")");
    });
    if (!sent.sent) return sent;
    pending_ = std::move(frame);
    command_ = parsed.frame.Command();
    return sent;
}

SubDeviceTransport::Final SubDeviceTransport::AwaitFinal(const std::vector<std::uint8_t>& frame,
                                                         std::int64_t deadlineMs,
                                                         std::vector<std::uint8_t>* first) {
    Final out;
    for (bool repeated = false;; repeated = true) {
        const std::int64_t left = std::max<std::int64_t>(deadlineMs - clock_.NowMs(), 1);
        out.got =
            server_->Receive(buffer_, static_cast<int>(std::min<std::int64_t>(left, 1 << 30)));
        out.code.reset();
        if (first && !repeated) {
            first->assign(out.got.message.begin(), out.got.message.end());
        } else if (first) {
            Tell(out.got.message, false);
        }
        if (out.got.end == ReceiveEnd::NoAnswer && repeated) {
            // No answer to a repeat within the time left: the device was
            // still being waited for, as the I/O system last said. (Judged
            // by the receive, not by reading the clock again: the receive's
            // own reading may end it a millisecond before ours does.)
            out.timedOut = true;
            out.got.message = {};
            return out;
        }
        if (out.got.end != ReceiveEnd::Answer) return out;
        out.code = HartFrame::Parse({buffer_.data(), out.got.size}).frame.ResponseCode();
        if (!out.code || !AsksForRepeat(*out.code)) return out;

        // The I/O system is still at work: the identical request again, paced.
        const std::uint8_t code = *out.code;
        out.lastCode = code;
        if (!first) Tell(out.got.message, false);
        const int pause = code == 33 ? options_.firstRepeatMs : options_.repeatMs;
        if (clock_.NowMs() + pause >= deadlineMs) {
            out.timedOut = true;
            out.lastCode = code;
            out.got.message = {};
            return out;
        }
        Trace("(" + PlaceText() + ": " + CodeWords(code) + ": the same request again)");
        Pause(pause);
        if (abort_) {
            out.got = ReceiveResult{};
            out.got.end = ReceiveEnd::Aborted;
            out.code.reset();
            return out;
        }
        const SendResult sent =
            server_->Send(frame, [this](std::span<const std::uint8_t> m) { Tell(m, true); });
        if (!sent.sent) {
            out.got = ReceiveResult{};
            out.got.end = server_->Gone() ? ReceiveEnd::PortLost : ReceiveEnd::NoAnswer;
            out.code.reset();
            return out;
        }
    }
}

ReceiveResult SubDeviceTransport::Receive(std::span<std::uint8_t> answer, int timeoutMs) {
    failure_.reset();
    failureText_.clear();
    message_.clear();
    ReceiveResult result;
    if (pending_.empty() || !command_) {
        Failed({}, {}, "no request sent to " + PlaceText());
        result.end = ReceiveEnd::NoAnswer;
        return result;
    }
    const std::vector<std::uint8_t> frame = std::move(pending_);
    pending_.clear();
    const Final f = AwaitFinal(frame, clock_.NowMs() + timeoutMs, &message_);
    result.message = message_;
    const std::span<const std::uint8_t> got(buffer_.data(), f.got.size);
    // What came, as it came, where it is no answer of the sub-device.
    const auto keep = [&](ReceiveEnd end) {
        result.end = end;
        result.size = std::min(got.size(), answer.size());
        std::copy_n(got.begin(), result.size, answer.begin());
        return result;
    };
    const long long card = place_.card;
    const long long channel = place_.channel;
    if (f.timedOut) {
        const std::string words = CodeWords(f.lastCode);
        Failed("Err_SubDevice_Timeout",
               {card, channel, serverUrl_, static_cast<long long>(timeoutMs), words},
               "no answer from the device on " + PlaceText() + " of " + serverUrl_ + " within " +
                   std::to_string(timeoutMs) + " ms (the I/O system last answered " + words + ")");
        result.end = ReceiveEnd::NoAnswer;
        return result;
    }
    if (f.got.end != ReceiveEnd::Answer) return keep(f.got.end);  // the server's words say why
    if (!f.code) {
        Failed("Err_SubDevice_Bad_Answer", {serverUrl_, card, channel},
               serverUrl_ + " sent a command 77 answer without a response code for " + PlaceText());
        return keep(ReceiveEnd::Incomplete);
    }
    Trace("(" + PlaceText() + " through command 77, answer: " + Hex(got) + ")");
    const std::uint8_t code = *f.code;
    if (IsDelayedResponseDead(code)) {
        Failed("Err_SubDevice_No_Answer", {card, channel, serverUrl_},
               "no answer from the device on " + PlaceText() + " of " + serverUrl_ +
                   " (response code 35, delayed response dead)");
        result.end = ReceiveEnd::NoAnswer;
        return result;
    }
    if (code == kRcInvalidIoCard) {
        Failed("Err_SubDevice_Bad_Card", {serverUrl_, card},
               "the I/O system at " + serverUrl_ + " has no I/O card " + std::to_string(card) +
                   " (response code 21, invalid I/O card number)");
        result.end = ReceiveEnd::NoAnswer;
        return result;
    }
    if (code == kRcInvalidChannel) {
        Failed("Err_SubDevice_Bad_Channel", {serverUrl_, channel, card},
               "the I/O system at " + serverUrl_ + " has no channel " + std::to_string(channel) +
                   " on card " + std::to_string(card) +
                   " (response code 22, invalid channel number)");
        result.end = ReceiveEnd::NoAnswer;
        return result;
    }
    if (code != 0) {
        const std::string meaning = ResponseCodeText(kCmdSendToSubDevice, code);
        Failed("Err_SubDevice_Refused",
               {serverUrl_, card, channel, static_cast<long long>(code), meaning},
               "the I/O system at " + serverUrl_ + " refused the request for " + PlaceText() +
                   " (" + CodeWords(code) + ")");
        result.end = ReceiveEnd::NoAnswer;
        return result;
    }
    const ParsedFrame outer = HartFrame::Parse(got);
    const std::optional<Embedded> inner = ParseSubDeviceAnswer(outer.frame.Payload());
    if (!inner) {
        Failed("Err_SubDevice_Bad_Answer", {serverUrl_, card, channel},
               serverUrl_ + " sent a command 77 answer for " + PlaceText() +
                   " that holds no whole answer frame");
        return keep(ReceiveEnd::Incomplete);
    }
    if (inner->place != place_) {
        const long long otherCard = inner->place.card;
        const long long otherChannel = inner->place.channel;
        Failed("Err_SubDevice_Wrong_Place", {serverUrl_, otherCard, otherChannel, card, channel},
               "the I/O system at " + serverUrl_ + " answered for card " +
                   std::to_string(otherCard) + " channel " + std::to_string(otherChannel) +
                   " instead of " + PlaceText());
        return keep(ReceiveEnd::Incomplete);
    }
    const std::vector<std::uint8_t> bytes = inner->frame.Bytes();
    if (bytes.size() > answer.size()) {
        Failed({}, {}, "the answer from " + PlaceText() + " is longer than its buffer");
        return keep(ReceiveEnd::Incomplete);
    }
    std::copy(bytes.begin(), bytes.end(), answer.begin());
    result.size = bytes.size();
    if (inner->frame.Command() != *command_) {
        Failed({}, {},
               "the device on " + PlaceText() + " answered command " +
                   std::to_string(inner->frame.Command()) + ", not command " +
                   std::to_string(*command_));
        result.end = ReceiveEnd::OtherCommand;
        return result;
    }
    // A device's identity says how many preambles its requests need.
    const std::span<const std::uint8_t> payload = inner->frame.Payload();
    if (*command_ == 0 && inner->frame.ResponseCode() == 0 && payload.size() > 3 &&
        payload[3] >= kFewestPreambles && payload[3] <= kMostPreambles) {
        preambles_ = payload[3];
    }
    result.end = ReceiveEnd::Answer;
    return result;
}

}  // namespace qt40
