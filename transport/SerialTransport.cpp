#include "transport/SerialTransport.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "hart/FrameAssembler.h"
#include "transport/PortOpenAdvice.h"

namespace qt40 {
namespace {

std::string DevicePath(const std::string& name) {
#ifdef _WIN32
    // "\\.\COM12" as the port list shows it opens as it stands.
    return name.rfind("\\\\.\\", 0) == 0 ? name : "\\\\.\\" + name;
#else
    return name.front() == '/' ? name : "/dev/" + name;
#endif
}

}  // namespace

SerialTransport::SerialTransport(SerialPort& port, Clock& clock, TraceSink& trace, LinkTiming timing)
    : port_(port), clock_(clock), trace_(trace), timing_(timing) {}

TransportTiming SerialTransport::Timing() const {
    TransportTiming t;
    t.requestPreambles = 5;
    t.answerTimeoutMs = timing_.answerTimeoutMs;
    t.searchAnswerTimeoutMs = timing_.searchAnswerTimeoutMs;
    return t;
}

CommResult SerialTransport::Open(const std::string& name) {
    name_ = name;
    openError_ = {};
    if (name_.empty()) return kCommNoPortName;
    if (port_.IsOpen()) port_.Close();
    const std::string path = DevicePath(name_);
    port_.SetLine(line_);
    if (!port_.Open(path, timing_.readSliceMs)) {
        openError_ = port_.LastOpenError();
        if (openError_.kind == OpenFailure::None) openError_.kind = OpenFailure::Other;
        if (openError_.device.empty()) openError_.device = path;
        return kCommPortNotOpened;
    }
    clock_.SleepMs(timing_.openSettleMs);
    gone_ = false;
    abort_ = false;
    lastTrafficTime_ = clock_.NowMs() - timing_.quietLineMs;
    return kCommSuccess;
}

void SerialTransport::Close() {
    if (port_.IsOpen()) port_.Close();
}

std::optional<TransportMessage> SerialTransport::FailureMessage() const {
    if (const auto advice = PortOpenAdvice(openError_)) {
        return TransportMessage{advice->key, advice->args};
    }
    return std::nullopt;
}

bool SerialTransport::CheckGone() {
    if (!port_.Vanished()) return false;
    gone_ = true;
    return true;
}

SendResult SerialTransport::Send(std::span<const std::uint8_t> frame, const Written& written) {
    const auto notSent = [](SendFailure why) { return SendResult{false, why}; };
    if (gone_ || !port_.IsOpen()) return notSent(SendFailure::PortClosed);
    const std::int64_t quietUntil = lastTrafficTime_ + timing_.quietLineMs;
    if (const std::int64_t now = clock_.NowMs(); now < quietUntil) {
        clock_.SleepMs(static_cast<int>(quietUntil - now));
    }

    // The modem must have dropped its carrier before we talk. A status query
    // that fails as on an unplugged device ends the exchange at once: it
    // would fail the same way until the time-out.
    const std::int64_t carrierStart = clock_.NowMs();
    for (;;) {
        const CarrierState carrier = port_.Carrier();
        if (carrier == CarrierState::Gone) {
            gone_ = true;
            return notSent(SendFailure::PortClosed);
        }
        if (CheckGone()) return notSent(SendFailure::PortClosed);
        if (carrier != CarrierState::On) break;
        if (abort_ || clock_.NowMs() - carrierStart >= timing_.carrierTimeoutMs) {
            trace_.Trace("TX: Timeout\n");
            return notSent(SendFailure::LineBusy);
        }
        clock_.SleepMs(10);
    }

    port_.PurgeInput();
    if (CheckGone()) return notSent(SendFailure::PortClosed);
    // The frame's time on the loop counts from the start of the write: a port
    // that holds RTS until its last byte is out has spent part of it already.
    const std::int64_t writeStart = clock_.NowMs();
    if (!port_.Write(frame.data(), frame.size())) {
        return notSent(CheckGone() ? SendFailure::PortClosed : SendFailure::WriteFailed);
    }
    if (written) written(frame);
    const std::int64_t sent = writeStart + timing_.TransmitMs(static_cast<int>(frame.size()));
    if (const std::int64_t now = clock_.NowMs(); now < sent) {
        clock_.SleepMs(static_cast<int>(sent - now));
    }
    lastTrafficTime_ = clock_.NowMs();
    return SendResult{true, {}};
}

ReceiveResult SerialTransport::Receive(std::span<std::uint8_t> answer, int timeoutMs) {
    int timeout = timeoutMs;
    port_.ClearError();
    ReceiveResult result;
    if (CheckGone()) {
        result.end = ReceiveEnd::PortLost;
        return result;
    }
    std::int64_t lastByte = clock_.NowMs();
    // Line noise and preambles skipped; only a device's answer is taken.
    FrameAssembler assembler(FrameAssembler::Accepts{FrameKind::Answer, 1, false});
    ReceiveEnd end = ReceiveEnd::NoAnswer;

    for (;;) {
        std::uint8_t byte = 0;
        const ReadOutcome outcome = port_.ReadByte(byte);
        if (outcome == ReadOutcome::Gone) {
            gone_ = true;
            end = ReceiveEnd::PortLost;
            break;
        }
        const bool arrived = outcome == ReadOutcome::Byte || outcome == ReadOutcome::ErrorByte;
        // A byte that came with a line error is dropped, but the line was alive.
        const bool counted = outcome == ReadOutcome::Byte && !port_.ClearError();
        // A byte is judged by the limit that held while we waited for it: the
        // second byte may come up to the answer time-out after the first.
        const int limit = timeout;
        if (counted) {
            if (!assembler.Hunting()) timeout = timing_.interByteTimeoutMs;
            const FrameAssembler::Fed fed = assembler.Feed(byte);
            if (fed == FrameAssembler::Fed::Frame) {
                end = ReceiveEnd::Answer;
                break;
            }
            if (fed == FrameAssembler::Fed::BadCheck) {
                end = ReceiveEnd::BadChecksum;
                break;
            }
            if (fed == FrameAssembler::Fed::Garbage) {  // not a slave-to-master frame
                end = ReceiveEnd::WrongDelimiter;
                break;
            }
        }
        const std::int64_t now = clock_.NowMs();
        if (now - lastByte >= limit || abort_) {
            char line[48];
            std::snprintf(line, sizeof line, "Timeout: %d\n", static_cast<int>(now - lastByte));
            trace_.Trace(line);
            end = abort_ ? ReceiveEnd::Aborted
                  : assembler.Bytes().empty() && assembler.Preambles() == 0
                      ? ReceiveEnd::NoAnswer
                      : ReceiveEnd::Incomplete;
            break;
        }
        if (arrived) lastByte = now;
    }

    // What came from the delimiter on: the whole frame, or as far as it went.
    const std::span<const std::uint8_t> got = assembler.Bytes();
    result.size = std::min(got.size(), answer.size());
    std::copy_n(got.begin(), result.size, answer.begin());
    lastTrafficTime_ = clock_.NowMs();
    result.end = end;
    result.preambles = assembler.Preambles();
    return result;
}

void SerialTransport::Purge() {
    if (!port_.IsOpen()) return;
    port_.PurgeInput();
    port_.PurgeOutput();
    CheckGone();
}

void SerialTransport::ClearError() {
    if (!port_.IsOpen()) return;
    port_.ClearError();
    CheckGone();
}

}  // namespace qt40
