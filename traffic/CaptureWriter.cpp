#include "traffic/CaptureWriter.h"

#include <cstdio>

#include "files/SafeTextWriter.h"
#include "transport/HartIpHeader.h"

namespace qt40::traffic {
namespace {

std::string Ms(std::int64_t us) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", static_cast<double>(us) / 1000.0);
    return text;
}

std::string Preambles(int n) {
    return std::to_string(n) + (n == 1 ? " preamble removed" : " preambles removed");
}

std::vector<std::uint8_t> Message(HartIpMessageType type, const Exchange& e,
                                  const std::vector<std::uint8_t>& frame) {
    HartIpHeader header;
    header.type = type;
    header.id = HartIpMessageId::TokenPassingPdu;
    header.sequence = static_cast<std::uint16_t>(e.number);
    return HartIpMessage(header, frame);
}

}  // namespace

std::string CaptureWriter::Comment(const CaptureSource& source, Transport transport) {
    std::string text;
    if (transport == Transport::Serial) {
        text = "Recorded by " + source.application + " on the serial line " + source.line +
               ". Each HART request and answer is shown as a HART-IP token-passing message "
               "(request or response, sequence number = exchange number) in a UDP datagram "
               "between 192.0.2.1 (the configurator) and 192.0.2.2 (the device), port 5094. "
               "These messages were not on the line: the frames were, behind their preambles. "
               "The preambles were removed from every frame; each packet's comment says how "
               "many, which try of its request it was and how the exchange ended.";
    } else {
        text = "Recorded by " + source.application + " over " +
               std::string(TransportText(transport)) + " with " + source.line +
               ". The HART-IP messages are as they went; the addresses are documentation "
               "addresses (192.0.2.1 the configurator, 192.0.2.2 the device).";
    }
    if (!source.note.empty()) text += " " + source.note;
    if (source.dropped) {
        text += " The " + std::to_string(source.dropped) +
                " exchanges before these were dropped from the record to bound its memory.";
    }
    return text;
}

CaptureWriter::CaptureWriter(const CaptureSource& source, Transport transport)
    : source_(source),
      pcapng_(Comment(source, transport), source.application,
              transport == Transport::Serial ? "serial line" : "HART-IP") {}

void CaptureWriter::Write(std::int64_t us, const std::vector<IpFlow::Packet>& packets,
                          const std::string& comment) {
    // Packets keep their order even where the clock had nothing finer to tell.
    lastUs_ = std::max(lastUs_, us);
    for (std::size_t i = 0; i < packets.size(); ++i) {
        pcapng_.AddPacket(source_.wallClockStartUs + lastUs_, packets[i],
                          i + 1 == packets.size() ? comment : std::string());
    }
}

void CaptureWriter::Add(const Exchange& e) {
    if (!e.Sent()) return;  // nothing went over the wire
    if (e.sessionMessage) {
        AddSession(e);
        return;
    }
    if (e.transport == Transport::Serial || e.requestMessage.empty()) {
        AddSerial(e);
    } else {
        AddHartIp(e);
    }
}

void CaptureWriter::AddSerial(const Exchange& e) {
    const bool answered = !e.answer.empty();
    std::string request = "serial: exchange " + std::to_string(e.number) + "; " +
                          Preambles(e.requestPreambles) + "; try " + std::to_string(e.attempt);
    if (!answered) request += "; " + std::string(OutcomeText(e.outcome)) + " after " +
                              Ms(e.endedUs - e.sentUs);
    Write(e.sentUs, {flow_.Udp(Direction::ToDevice, Message(HartIpMessageType::Request, e, e.request))},
          request);
    if (!answered) return;
    std::string answer = "serial: " + Preambles(e.answerPreambles) + "; " +
                         Ms(e.endedUs - e.sentUs) + " after the request";
    if (e.outcome != Outcome::Answered) answer += "; " + std::string(OutcomeText(e.outcome));
    Write(e.endedUs,
          {flow_.Udp(Direction::FromDevice, Message(HartIpMessageType::Response, e, e.answer))},
          answer);
}

void CaptureWriter::AddHartIp(const Exchange& e) {
    const bool tcp = e.transport == Transport::HartIpTcp;
    const auto send = [&](Direction d, const std::vector<std::uint8_t>& message) {
        return tcp ? flow_.TcpSegment(d, message) : std::vector<IpFlow::Packet>{flow_.Udp(d, message)};
    };
    std::string request =
        "exchange " + std::to_string(e.number) + "; try " + std::to_string(e.attempt);
    if (e.answerMessage.empty()) {
        request += "; " + std::string(OutcomeText(e.outcome)) + " after " + Ms(e.endedUs - e.sentUs);
    }
    Write(e.sentUs, send(Direction::ToDevice, e.requestMessage), request);
    if (!e.answerMessage.empty()) {
        Write(e.endedUs, send(Direction::FromDevice, e.answerMessage),
              e.outcome == Outcome::Answered ? std::string() : std::string(OutcomeText(e.outcome)));
    }
}

void CaptureWriter::AddSession(const Exchange& e) {
    const bool ours = !e.requestMessage.empty();
    const std::vector<std::uint8_t>& message = ours ? e.requestMessage : e.answerMessage;
    if (message.empty()) return;
    const Direction d = ours ? Direction::ToDevice : Direction::FromDevice;
    Write(e.sentUs,
          e.transport == Transport::HartIpTcp ? flow_.TcpSegment(d, message)
                                              : std::vector<IpFlow::Packet>{flow_.Udp(d, message)},
          "exchange " + std::to_string(e.number) + "; session message");
}

std::vector<std::uint8_t> CaptureWriter::Take() {
    return pcapng_.Take();
}

std::vector<std::uint8_t> CaptureWriter::Finish() {
    Write(lastUs_, flow_.CloseTcp(), {});
    return pcapng_.Take();
}

FileResult CaptureWriter::Save(const std::filesystem::path& path,
                               const std::vector<ExchangePtr>& exchanges,
                               const CaptureSource& source) {
    CaptureWriter writer(source, exchanges.empty() ? Transport::Serial : exchanges.front()->transport);
    for (const ExchangePtr& e : exchanges) writer.Add(*e);
    const std::vector<std::uint8_t> bytes = writer.Finish();
    SafeTextWriter file(path);
    if (FileResult opened = file.Open(); !opened.ok()) return opened;
    file.Write({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
    return file.Commit();
}

}  // namespace qt40::traffic
