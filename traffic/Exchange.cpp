#include "traffic/Exchange.h"

#include "transport/HartIpHeader.h"

namespace qt40::traffic {
namespace {

// The command byte after the delimiter and the one or five address bytes.
int CommandOf(const std::vector<std::uint8_t>& frame) {
    if (frame.empty()) return -1;
    const std::size_t at = (frame[0] & 0x80) ? 6 : 2;
    return at < frame.size() ? frame[at] : -1;
}

}  // namespace

ResultClass Exchange::Result() const {
    if (sessionMessage) {
        const auto header = DecodeHartIpHeader(requestMessage.empty() ? answerMessage : requestMessage);
        if (!header || header->type == HartIpMessageType::Error ||
            header->type == HartIpMessageType::Nak) {
            return ResultClass::Failed;
        }
        const bool timerLowered = header->id == HartIpMessageId::SessionInitiate &&
                                  header->status == kHartIpTimerSetToNearest;
        return header->status == 0 || timerLowered ? ResultClass::Ok : ResultClass::Refused;
    }
    if (outcome != Outcome::Answered || answer.empty()) return ResultClass::Failed;
    const std::size_t at = (answer[0] & 0x80) ? 8 : 4;  // after command and byte count
    if (at >= answer.size()) return ResultClass::Failed;
    // A communication error: the device did not take the request in at all.
    if (answer[at] & 0x80) return ResultClass::Failed;
    return answer[at] == 0 ? ResultClass::Ok : ResultClass::Refused;
}

int Exchange::Command() const { return CommandOf(request); }

std::string_view OutcomeText(Outcome outcome) {
    switch (outcome) {
        case Outcome::Answered: return "answered";
        case Outcome::NoAnswer: return "no answer";
        case Outcome::Incomplete: return "incomplete answer";
        case Outcome::BadChecksum: return "bad checksum";
        case Outcome::WrongDelimiter: return "not a device's answer";
        case Outcome::OtherCommand: return "answer to another command, dropped";
        case Outcome::PortLost: return "port lost";
        case Outcome::Aborted: return "given up (stopping)";
        case Outcome::LineBusy: return "not sent: line busy";
        case Outcome::WriteFailed: return "not sent: write failed";
        case Outcome::PortClosed: return "not sent: port closed";
    }
    return "";
}

std::string_view TransportText(Transport transport) {
    switch (transport) {
        case Transport::Serial: return "serial";
        case Transport::HartIpUdp: return "HART-IP UDP";
        case Transport::HartIpTcp: return "HART-IP TCP";
    }
    return "";
}

}  // namespace qt40::traffic
