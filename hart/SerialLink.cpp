#include "SerialLink.h"

#include <cstdio>
#include <string>

#include "PortDefinition.h"

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

std::string DevicePath(const std::string& name) {
    if (PortDefinition::IsUrl(name)) return name;
#ifdef _WIN32
    // "\\.\COM12" as the port list shows it opens as it stands.
    return name.rfind("\\\\.\\", 0) == 0 ? name : "\\\\.\\" + name;
#else
    return name.front() == '/' ? name : "/dev/" + name;
#endif
}

}  // namespace

SerialLink::SerialLink(SerialPort& port, Clock& clock, TraceSink& trace, LinkTiming timing)
    : port_(port), clock_(clock), trace_(trace), timing_(timing) {}

CommResult SerialLink::OpenPort(const std::string& definition) {
    const PortDefinition parsed = PortDefinition::Parse(definition);
    portName_ = parsed.name;
    line_ = parsed.line;
    definition_ = definition;
    openError_ = {};
    failure_ = LinkFailure::None;
    if (portName_.empty()) return kCommNoPortName;
    if (port_.IsOpen()) port_.Close();
    const std::string path = DevicePath(portName_);
    port_.SetLine(line_);
    if (!port_.Open(path, timing_.readSliceMs)) {
        openError_ = port_.LastOpenError();
        if (openError_.kind == OpenFailure::None) openError_.kind = OpenFailure::Other;
        if (openError_.device.empty()) openError_.device = path;
        return kCommPortNotOpened;
    }
    clock_.SleepMs(timing_.openSettleMs);
    portGone_ = false;
    abort_ = false;
    lastTrafficTime_ = clock_.NowMs() - timing_.quietLineMs;
    return kCommSuccess;
}

CommResult SerialLink::ReopenPort() {
    if (definition_.empty()) return kCommNoPortName;
    return OpenPort(std::string(definition_));
}

void SerialLink::ClosePort() {
    if (port_.IsOpen()) port_.Close();
}

bool SerialLink::CheckGone() {
    if (!port_.Vanished()) return false;
    portGone_ = true;
    failure_ = LinkFailure::PortGone;
    return true;
}

CommResult SerialLink::SendFrame(std::span<const std::uint8_t> frame) {
    LinkObserver* observer = observer_;
    const auto notSent = [&](SendFailure why) {
        if (observer) observer->RequestNotSent(frame, attempt_, why);
        return kCommExchangeFailed;
    };
    if (portGone_ || !port_.IsOpen()) {
        failure_ = portGone_ ? LinkFailure::PortGone : LinkFailure::WriteFailed;
        return notSent(SendFailure::PortClosed);
    }
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
            portGone_ = true;
            failure_ = LinkFailure::PortGone;
            return notSent(SendFailure::PortClosed);
        }
        if (CheckGone()) return notSent(SendFailure::PortClosed);
        if (carrier != CarrierState::On) break;
        if (abort_ || clock_.NowMs() - carrierStart >= timing_.carrierTimeoutMs) {
            trace_.Trace("TX: Timeout\n");
            failure_ = LinkFailure::CarrierStuck;
            return notSent(SendFailure::LineBusy);
        }
        clock_.SleepMs(10);
    }

    port_.PurgeInput();
    if (CheckGone()) return notSent(SendFailure::PortClosed);
    // The answer must be to this command: a late answer to an earlier request
    // (one that came after we gave up on it) is not this one's.
    expected_.reset();
    std::size_t delimiter = 0;
    while (delimiter < frame.size() && frame[delimiter] == 0xFF) ++delimiter;
    if (delimiter < frame.size()) {
        const std::size_t command = delimiter + ((frame[delimiter] & 0x80) ? 6 : 2);
        if (command < frame.size()) expected_ = frame[command];
    }
    // The frame's time on the loop counts from the start of the write: a port
    // that holds RTS until its last byte is out has spent part of it already.
    const std::int64_t writeStart = clock_.NowMs();
    if (!port_.Write(frame.data(), frame.size())) {
        if (!CheckGone()) failure_ = LinkFailure::WriteFailed;
        return notSent(portGone_ ? SendFailure::PortClosed : SendFailure::WriteFailed);
    }
    if (observer) observer->RequestSent(frame, attempt_);
    trace_.Trace("TX: " + Hex(frame.data(), frame.size()) + "\n");
    const std::int64_t sent = writeStart + timing_.TransmitMs(static_cast<int>(frame.size()));
    if (const std::int64_t now = clock_.NowMs(); now < sent) {
        clock_.SleepMs(static_cast<int>(sent - now));
    }
    lastTrafficTime_ = clock_.NowMs();
    return kCommSuccess;
}

CommResult SerialLink::ReceiveFrame() {
    const bool searching = searching_;
    int timeout = searching ? timing_.searchAnswerTimeoutMs : timing_.answerTimeoutMs;
    port_.ClearError();
    received_ = 0;
    if (CheckGone()) {
        if (LinkObserver* observer = observer_) observer->ReceiveEnded({}, 0, ReceiveEnd::PortLost);
        TraceReceived(0, kCommExchangeFailed);
        return kCommExchangeFailed;
    }
    std::int64_t lastByte = clock_.NowMs();
    enum { Hunt, Preamble, Address, Command, Count, Data, Checksum } state = Hunt;
    CommResult result = kCommExchangeFailed;
    ReceiveEnd end = ReceiveEnd::NoAnswer;
    int preambles = 0;
    std::size_t remaining = 0;
    std::uint8_t sum = 0;
    bool stop = false;

    auto store = [&](std::uint8_t b) {
        receiveBuffer_[received_++] = b;
        sum ^= b;
    };

    while (!stop) {
        std::uint8_t byte = 0;
        const ReadOutcome outcome = port_.ReadByte(byte);
        if (outcome == ReadOutcome::Gone) {
            portGone_ = true;
            failure_ = LinkFailure::PortGone;
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
            switch (state) {
                case Hunt:
                    if (!searching) timeout = timing_.answerTimeoutMs;
                    if (byte == 0xFF) {
                        preambles = 1;
                        state = Preamble;
                    }
                    break;
                case Preamble:
                    timeout = timing_.interByteTimeoutMs;
                    if (byte == 0xFF) {
                        ++preambles;
                        break;
                    }
                    store(byte);
                    if ((byte & 0x07) != 0x06) {  // not a slave-to-master frame
                        end = ReceiveEnd::WrongDelimiter;
                        stop = true;
                        break;
                    }
                    state = Address;
                    break;
                case Address:
                    store(byte);
                    if (!(receiveBuffer_[0] & 0x80) || received_ == 6) state = Command;
                    break;
                case Command:
                    store(byte);
                    state = Count;
                    break;
                case Count:
                    store(byte);
                    remaining = byte;
                    state = remaining ? Data : Checksum;
                    break;
                case Data:
                    store(byte);
                    if (--remaining == 0) state = Checksum;
                    break;
                case Checksum: {
                    store(byte);
                    const std::size_t command = (receiveBuffer_[0] & 0x80) ? 6 : 2;
                    const bool ours = !expected_ || receiveBuffer_[command] == *expected_;
                    result = sum == 0 && ours ? kCommSuccess : kCommExchangeFailed;
                    end = sum != 0 ? ReceiveEnd::BadChecksum
                          : ours   ? ReceiveEnd::Answer
                                   : ReceiveEnd::OtherCommand;
                    stop = true;
                    break;
                }
            }
            if (stop) break;
        }
        const std::int64_t now = clock_.NowMs();
        if (now - lastByte >= limit || abort_) {
            char line[48];
            std::snprintf(line, sizeof line, "Timeout: %d\n", static_cast<int>(now - lastByte));
            trace_.Trace(line);
            end = abort_                             ? ReceiveEnd::Aborted
                  : received_ == 0 && preambles == 0 ? ReceiveEnd::NoAnswer
                                                     : ReceiveEnd::Incomplete;
            break;
        }
        if (arrived) lastByte = now;
    }

    if (LinkObserver* observer = observer_) observer->ReceiveEnded(Received(), preambles, end);
    TraceReceived(preambles, result);
    lastTrafficTime_ = clock_.NowMs();
    if (result != kCommSuccess && !portGone_) failure_ = LinkFailure::NoAnswer;
    return result;
}

void SerialLink::TraceReceived(int preambles, CommResult result) {
    std::string line = "RX: ";
    for (int i = 0; i < preambles; ++i) line += "FF,";
    line += Hex(receiveBuffer_.data(), received_);
    if (result != kCommSuccess) {
        line += "Error";
    } else {
        const std::size_t commandIndex = (receiveBuffer_[0] & 0x80) ? 6 : 2;
        if (received_ > commandIndex + 2 && (receiveBuffer_[commandIndex + 2] & 0x80)) {
            line += "Communication Error";
        }
    }
    trace_.Trace(line + "\n");
}

CommResult SerialLink::Transact(std::span<const std::uint8_t> frame) {
    const int tries = searching_ ? timing_.searchTries : timing_.tries;
    CommResult result = kCommExchangeFailed;
    for (int i = 0; i < tries && !portGone_ && !abort_; ++i) {
        attempt_ = i + 1;
        result = SendFrame(frame);
        if (result == kCommSuccess) result = ReceiveFrame();
        if (result == kCommSuccess) break;
    }
    attempt_ = 1;
    if (result == kCommSuccess) {
        failure_ = LinkFailure::None;
        return result;
    }
    if (portGone_) failure_ = LinkFailure::PortGone;
    return kCommExchangeFailed;
}

void SerialLink::PurgePort() {
    if (!port_.IsOpen()) return;
    port_.PurgeInput();
    port_.PurgeOutput();
    CheckGone();
}

void SerialLink::ClearError() {
    if (!port_.IsOpen()) return;
    port_.ClearError();
    CheckGone();
}

}  // namespace qt40
