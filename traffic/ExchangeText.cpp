#include "traffic/ExchangeText.h"

#include <cstdio>
#include <ctime>

#include "hart/HartFrame.h"
#include "hart/IoSystemCommands.h"
#include "traffic/FrameDecoder.h"
#include "traffic/HartIpMessageText.h"

namespace qt40::traffic {
namespace {

std::string Joined(const std::vector<DecodedField>& fields, const char* separator) {
    std::string text;
    for (const DecodedField& f : fields) text += (text.empty() ? "" : separator) + f.Text();
    return text;
}

std::string Milliseconds(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", ms);
    return text;
}

std::tm Broken(std::time_t t, bool local) {
    std::tm out{};
#ifdef _WIN32
    local ? localtime_s(&out, &t) : gmtime_s(&out, &t);
#else
    local ? localtime_r(&t, &out) : gmtime_r(&t, &out);
#endif
    return out;
}

// Whole seconds (floored, so times before 1970 stay right) and the rest.
std::pair<std::time_t, std::int64_t> Split(std::int64_t us) {
    std::int64_t s = us / 1000000;
    std::int64_t rest = us % 1000000;
    if (rest < 0) {
        rest += 1000000;
        --s;
    }
    return {static_cast<std::time_t>(s), rest};
}

// Why an exchange has no answer to show, or the answer's response.
std::string ResponseOf(const Exchange& e, const DecodedFrame& answer, const DecoderTexts& texts) {
    if (e.outcome != Outcome::Answered) return OutcomeWords(e.outcome, texts);
    if (!answer.responseCode) return texts.Text("Traffic_No_Response_Code", "no response code");
    return answer.responseText;
}

// " on card 1 channel 2" for a request that went to a device behind an I/O
// system inside command 77 (its message says so); empty otherwise.
std::string ViaText(const Exchange& e) {
    constexpr std::size_t kHeader = 8;
    if (e.requestMessage.size() <= kHeader) return {};
    const ParsedFrame outer = HartFrame::Parse(std::span(e.requestMessage).subspan(kHeader));
    if (!outer.Whole() || outer.frame.Command() != kCmdSendToSubDevice ||
        HartFrame::CommandOf(e.request) == kCmdSendToSubDevice) {
        return {};
    }
    const auto inner = ParseSubDeviceRequest(outer.frame.Data());
    if (!inner) return {};
    return " on card " + std::to_string(inner->place.card) + " channel " +
           std::to_string(inner->place.channel);
}

// A session message's one message, ours or the server's.
const std::vector<std::uint8_t>& MessageOf(const Exchange& e) {
    return e.requestMessage.empty() ? e.answerMessage : e.requestMessage;
}

}  // namespace

std::string OutcomeWords(Outcome outcome, const DecoderTexts& texts) {
    return texts.Text("Traffic_Outcome_" + std::to_string(static_cast<int>(outcome)),
                      OutcomeText(outcome));
}

ExchangeColumns Columns(const Exchange& e, const DecoderTexts& texts) {
    ExchangeColumns c;
    if (e.sessionMessage) {
        const DecodedMessage m = DecodeHartIpMessage(MessageOf(e), texts);
        c.name = m.name;
        c.response = m.status;
        return c;
    }
    const DecodedFrame request = DecodeFrame(e.request, texts);
    c.address = request.address;
    if (request.command) c.command = std::to_string(*request.command);
    c.name = request.commandName;
    const DecodedFrame answer = DecodeFrame(e.answer, texts);
    c.response = ResponseOf(e, answer, texts);
    if (!e.answer.empty() &&
        (e.outcome == Outcome::Answered || e.outcome == Outcome::BadChecksum)) {
        c.status = answer.StatusText();
    }
    c.durationMs = static_cast<double>(e.endedUs - e.sentUs) / 1000.0;
    return c;
}

std::string LocalTimeOfDay(std::int64_t utcUs) {
    const auto [seconds, us] = Split(utcUs);
    const std::tm t = Broken(seconds, true);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", t.tm_hour, t.tm_min, t.tm_sec,
                  static_cast<int>(us / 1000));
    return text;
}

std::string UtcText(std::int64_t utcUs) {
    const auto [seconds, us] = Split(utcUs);
    const std::tm t = Broken(seconds, false);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%06dZ", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, static_cast<int>(us));
    return text;
}

std::vector<std::string> TraceLines(const Exchange& e, const DecoderTexts& texts) {
    std::vector<std::string> lines;
    const std::string number = "#" + std::to_string(e.number);
    if (e.sessionMessage) {
        const DecodedMessage m = DecodeHartIpMessage(MessageOf(e), texts);
        const bool ours = !e.requestMessage.empty();
        std::string line = (ours ? "TX " : "RX ") + number + ": " + m.name;
        if (!ours && !m.status.empty()) line += ", " + m.status;
        if (!m.fields.empty()) line += ": " + Joined(m.fields, ", ");
        lines.push_back(line);
        return lines;
    }
    const DecodedFrame request = DecodeFrame(e.request, texts);
    std::string tx = "TX " + number + " try " + std::to_string(e.attempt) + " to " +
                     request.address + ViaText(e) + ": " + request.CommandText();
    if (!request.fields.empty()) tx += ": " + Joined(request.fields, ", ");
    if (!e.Sent()) tx += " (" + OutcomeWords(e.outcome, texts) + ")";
    lines.push_back(tx);
    if (!e.Sent()) return lines;

    const DecodedFrame answer = DecodeFrame(e.answer, texts);
    std::string rx = "RX " + number + " after " +
                     Milliseconds(static_cast<double>(e.endedUs - e.sentUs) / 1000.0) + ": " +
                     ResponseOf(e, answer, texts);
    if (e.outcome == Outcome::Answered || e.outcome == Outcome::BadChecksum) {
        if (!answer.problem.empty()) rx += " (" + answer.problem + ")";
        if (const std::string status = answer.StatusText(); !status.empty()) {
            rx += ", status " + status;
        }
        if (!answer.fields.empty()) rx += ": " + Joined(answer.fields, ", ");
    } else if (!e.answer.empty()) {
        rx += ": " + HexText(e.answer);
    }
    lines.push_back(rx);
    return lines;
}

std::vector<std::string> DetailLines(const Exchange& e, const DecoderTexts& texts) {
    std::vector<std::string> lines;
    if (e.sessionMessage) {
        const DecodedMessage m = DecodeHartIpMessage(MessageOf(e), texts);
        lines.push_back("Exchange " + std::to_string(e.number) + ", " +
                        std::string(TransportText(e.transport)) +
                        (e.endpoints.empty() ? std::string() : " " + e.endpoints) + ": " +
                        texts.Text("Traffic_Session_Message", "session message"));
        lines.push_back(m.name + (m.status.empty() ? std::string() : ": " + m.status));
        for (const DecodedField& field : m.fields) lines.push_back("  " + field.Text());
        lines.push_back("  " + texts.Text("Traffic_Word_Bytes", "Bytes") + ": " +
                        HexText(MessageOf(e)));
        return lines;
    }
    lines.push_back(
        "Exchange " + std::to_string(e.number) + ", " + std::string(TransportText(e.transport)) +
        (e.endpoints.empty() ? std::string() : " " + e.endpoints) + ", try " +
        std::to_string(e.attempt) + ": " + OutcomeWords(e.outcome, texts) +
        (e.Sent() ? " after " + Milliseconds(static_cast<double>(e.endedUs - e.sentUs) / 1000.0)
                  : std::string()));

    const auto frameLines = [&lines, &texts](const std::string& what,
                                             const std::vector<std::uint8_t>& bytes,
                                             int preambles) {
        const DecodedFrame f = DecodeFrame(bytes, texts);
        std::string head = what + ": ";
        if (bytes.empty()) {
            lines.push_back(head + texts.Text("Traffic_Word_Nothing", "nothing"));
            return;
        }
        head += f.frameType + ", " +
                (f.longFrame ? texts.Text("Traffic_Word_Long", "long address")
                             : texts.Text("Traffic_Word_Short", "short address")) +
                " " + f.address;
        if (f.addressSeen) {
            head +=
                ", " + (f.primaryMaster ? texts.Text("Traffic_Word_Primary", "primary master")
                                        : texts.Text("Traffic_Word_Secondary", "secondary master"));
            if (f.burst) head += ", burst";
        }
        if (preambles) head += ", " + std::to_string(preambles) + " preambles";
        lines.push_back(head);
        if (f.command) lines.push_back("  " + f.CommandText());
        if (f.responseCode) {
            // Behind a broken checksum the code may be anything: it is not named.
            lines.push_back("  " + texts.Text("Traffic_Word_Response_Code", "Response code") + " " +
                            std::to_string(*f.responseCode) +
                            (f.complete && !f.checksumOk ? " (bad checksum: not to be trusted)"
                                                         : ": " + f.responseText));
        }
        if (f.deviceStatus) {
            std::string status = "  " + texts.Text("Traffic_Word_Device_Status", "Device status") +
                                 " " + f.StatusText();
            for (std::size_t i = 0; i < f.statusBits.size(); ++i) {
                status += (i == 0 ? ": " : ", ") + f.statusBits[i];
            }
            lines.push_back(status);
        }
        for (const DecodedField& field : f.fields) lines.push_back("  " + field.Text());
        if (!f.problem.empty())
            lines.push_back("  " + texts.Text("Traffic_Word_Not_Right", "Not right") + ": " +
                            f.problem);
        lines.push_back("  " + texts.Text("Traffic_Word_Bytes", "Bytes") + ": " + HexText(bytes));
    };
    frameLines(texts.Text("Traffic_Word_Request", "Request"), e.request, e.requestPreambles);
    if (e.Sent())
        frameLines(texts.Text("Traffic_Word_Answer", "Answer"), e.answer, e.answerPreambles);
    if (!e.requestMessage.empty()) lines.push_back("Request message: " + HexText(e.requestMessage));
    if (!e.answerMessage.empty()) lines.push_back("Answer message: " + HexText(e.answerMessage));
    return lines;
}

}  // namespace qt40::traffic
