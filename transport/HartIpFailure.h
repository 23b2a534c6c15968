#pragma once
// Why a HART-IP connection or exchange failed, by kind, and what the user is
// told about it (a key of the language files) or the trace reads (English).

#include <cstdint>
#include <string>

#include "transport/FrameTransport.h"

namespace qt40 {

enum class HartIpFailureKind {
    None,
    BadUrl,          // not a HART-IP address as the program writes them
    HostNotFound,    // the host name did not resolve
    Refused,         // nobody takes connections on that port
    NoConnection,    // the host did not take the connection in time, or cannot be reached
    ConnectionLost,  // the connection ended under an exchange or a session initiate
    SessionRefused,  // the session initiate was answered with a refusing status
    NoAnswer,        // no answer in time
    ErrorMessage,    // the server answered with an error message or a NAK
    BadAnswer,       // an answer that is not a whole HART frame for our command, or not HART-IP
    NetworkError,    // any other failure of the system; `detail` has its words
    SecuredOnly,     // the server answered with a TLS alert: it speaks only HART-IP version 2
    SilentToV1,      // the version 1 session initiate never answered
    OtherVersion,    // a message in another HART-IP version than 1 (`code`)
    Aborted,         // the worker is stopping
};

struct HartIpFailure {
    HartIpFailureKind kind = HartIpFailureKind::None;
    std::string endpoint;  // the URL (or the host, for HostNotFound)
    // SessionRefused: the status. ErrorMessage: the error code (or the NAK's status).
    int code = 0;
    bool nak = false;    // ErrorMessage: a NAK rather than an error message
    int timeoutMs = 0;   // NoAnswer, NoConnection, SilentToV1: the time waited
    std::string detail;  // the system's or our words, English
};

// The message box for the failure; none for None and Aborted.
std::optional<TransportMessage> HartIpFailureMessage(const HartIpFailure& failure);
// One line in English for the trace and the command-line tool.
std::string HartIpFailureText(const HartIpFailure& failure);

}  // namespace qt40
