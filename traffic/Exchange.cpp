#include "traffic/Exchange.h"

#include "hart/HartFrame.h"
#include "transport/HartIpHeader.h"

namespace qt40::traffic {

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
    if (outcome != Outcome::Answered) return ResultClass::Failed;
    // The first data byte, whatever the delimiter says: a capture may hold anything.
    const HartFrame frame = HartFrame::Parse(answer).frame;
    if (frame.Data().empty()) return ResultClass::Failed;
    const std::uint8_t code = frame.Data()[0];
    // A communication error: the device did not take the request in at all.
    if (code & 0x80) return ResultClass::Failed;
    return code == 0 ? ResultClass::Ok : ResultClass::Refused;
}

int Exchange::Command() const {
    const std::optional<std::uint8_t> command = HartFrame::CommandOf(request);
    return command ? *command : -1;
}

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
