#pragma once
// One exchange on the line as the recorder keeps it: a request and what came
// back, with their times, the try it was, and how it ended. Over a serial
// line the frames are kept from the delimiter on (the preambles counted);
// over HART-IP the messages as they went, header included, are kept as well.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qt40::traffic {

enum class Transport : std::uint8_t { Serial, HartIpUdp, HartIpTcp };

enum class Outcome : std::uint8_t {
    Answered,        // a whole answer, checksum right (whatever its response code)
    NoAnswer,
    Incomplete,      // the answer stopped half-way
    BadChecksum,
    WrongDelimiter,  // something that is no device's answer came back
    OtherCommand,    // an answer to another command, dropped
    PortLost,
    Aborted,         // given up because the worker stopped
    LineBusy,        // not sent: the carrier never dropped
    WriteFailed,     // not sent: the port refused the bytes
    PortClosed,      // not sent: no open port
};

// How the traffic view sorts outcomes: an answer with response code 0, one
// the device refused, or no valid answer at all.
enum class ResultClass : std::uint8_t { Ok, Refused, Failed };

struct Exchange {
    std::uint64_t number = 0;  // 1, 2, … in the order recorded
    Transport transport = Transport::Serial;
    int attempt = 1;           // try of its request, 1 the first
    std::int64_t sentUs = 0;   // monotonic, since the recording started
    std::int64_t endedUs = 0;  // when the answer ended or the wait gave up
    std::vector<std::uint8_t> request;  // from the delimiter through the checksum
    std::vector<std::uint8_t> answer;   // what came back from the delimiter on
    int requestPreambles = 0;
    int answerPreambles = 0;
    Outcome outcome = Outcome::NoAnswer;
    // HART-IP only: the messages as they went, header included.
    std::vector<std::uint8_t> requestMessage;
    std::vector<std::uint8_t> answerMessage;
    // A HART-IP message outside the exchanges (the session's own, or one the
    // server sent that no request took): the message alone, in requestMessage
    // when it was ours, else in answerMessage; no frames, no wait.
    bool sessionMessage = false;
    // Read from a capture: where a HART-IP exchange went ("127.0.0.1:41234 to
    // 127.0.0.1:5094"); empty for what this program recorded itself.
    std::string endpoints;

    bool Sent() const {
        return outcome != Outcome::LineBusy && outcome != Outcome::WriteFailed &&
               outcome != Outcome::PortClosed;
    }
    // A session message: a refusal or a status that is no success is Refused,
    // an error message or a NAK Failed.
    ResultClass Result() const;
    // The command the request names; -1 for a request too short to name one.
    int Command() const;
};

using ExchangePtr = std::shared_ptr<const Exchange>;

// "answered", "no answer", "bad checksum" …
std::string_view OutcomeText(Outcome outcome);
std::string_view TransportText(Transport transport);

}  // namespace qt40::traffic
