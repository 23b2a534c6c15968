#include "transport/HartIpFailure.h"

#include "transport/HartIpHeader.h"

namespace qt40 {

std::optional<TransportMessage> HartIpFailureMessage(const HartIpFailure& f) {
    using K = HartIpFailureKind;
    const std::string& at = f.endpoint;
    switch (f.kind) {
        case K::None:
        case K::Aborted:
            return std::nullopt;
        case K::BadUrl:
            if (!f.detail.empty()) return TransportMessage{"Err_HartIp_Url_Why", {at, f.detail}};
            return TransportMessage{"Err_HartIp_Url", {at}};
        case K::HostNotFound:
            return TransportMessage{"Err_HartIp_Host_Not_Found", {at}};
        case K::Refused:
            return TransportMessage{"Err_HartIp_Refused", {at}};
        case K::NoConnection:
            return TransportMessage{"Err_HartIp_No_Connection",
                                    {at, static_cast<long long>(f.timeoutMs)}};
        case K::ConnectionLost:
            return TransportMessage{"Err_HartIp_Lost", {at}};
        case K::SessionRefused:
            switch (f.code) {
                case kHartIpTooFewDataBytes:
                    return TransportMessage{"Err_HartIp_Session_Too_Few_Bytes", {at}};
                case kHartIpNoSessionAvailable:
                    return TransportMessage{"Err_HartIp_Session_Busy", {at}};
                case kHartIpSessionExists:
                    return TransportMessage{"Err_HartIp_Session_Exists", {at}};
                case kHartIpVersionNotSupported:
                    return TransportMessage{"Err_HartIp_Session_Version", {at}};
                case kHartIpInvalidHostType:
                    return TransportMessage{"Err_HartIp_Session_Host_Type", {at}};
                default:
                    return TransportMessage{"Err_HartIp_Session_Refused",
                                            {at, static_cast<long long>(f.code)}};
            }
        case K::NoAnswer:
            return TransportMessage{"Err_HartIp_No_Answer",
                                    {at, static_cast<long long>(f.timeoutMs)}};
        case K::ErrorMessage:
            if (!f.nak) {
                switch (f.code) {
                    case kHartIpErrorSessionClosed:
                        return TransportMessage{"Err_HartIp_Session_Closed", {at}};
                    case kHartIpErrorPrimaryUnavailable:
                        return TransportMessage{"Err_HartIp_Primary_Unavailable", {at}};
                    case kHartIpErrorServiceUnavailable:
                        return TransportMessage{"Err_HartIp_Service_Unavailable", {at}};
                    default:
                        break;
                }
            }
            return TransportMessage{"Err_HartIp_Nak", {at, static_cast<long long>(f.code)}};
        case K::BadAnswer:
            return TransportMessage{"Err_HartIp_Bad_Answer", {at}};
        case K::NetworkError:
            return TransportMessage{"Err_HartIp_Network", {at, f.detail}};
        case K::SecuredOnly:
            return TransportMessage{"Err_HartIp_Secured_Only", {at}};
        case K::SilentToV1:
            return TransportMessage{"Err_HartIp_Silent_To_Version_1",
                                    {at, static_cast<long long>(f.timeoutMs)}};
        case K::OtherVersion:
            return TransportMessage{"Err_HartIp_Other_Version",
                                    {at, static_cast<long long>(f.code)}};
    }
    return std::nullopt;
}

std::string HartIpFailureText(const HartIpFailure& f) {
    using K = HartIpFailureKind;
    const std::string& at = f.endpoint;
    std::string text;
    switch (f.kind) {
        case K::None:
            return {};
        case K::Aborted:
            return "aborted";
        case K::BadUrl:
            text = at +
                   " is not a HART-IP address (hartip://HOST[:PORT] or hartip+udp://HOST[:PORT], "
                   "/CARD/CHANNEL for a device behind an I/O system)";
            break;
        case K::HostNotFound:
            text = "the host " + at + " was not found";
            break;
        case K::Refused:
            text = at + " refused the connection";
            break;
        case K::NoConnection:
            text =
                at + " did not take the connection within " + std::to_string(f.timeoutMs) + " ms";
            break;
        case K::ConnectionLost:
            text = "the connection to " + at + " was lost";
            break;
        case K::SessionRefused:
            text = at + " refused the HART-IP session (status " + std::to_string(f.code) +
                   (f.code == kHartIpInvalidHostType ? ", invalid host type)" : ")");
            break;
        case K::SecuredOnly:
            text = at + " speaks only the secured HART-IP version 2 (it answered with a TLS alert)";
            break;
        case K::SilentToV1:
            text = at + " never answered the HART-IP version 1 session request within " +
                   std::to_string(f.timeoutMs) +
                   " ms: it may speak only the secured HART-IP version 2";
            break;
        case K::OtherVersion:
            text =
                at + " answered in HART-IP version " + std::to_string(f.code) + ", not version 1";
            break;
        case K::NoAnswer:
            text = "no answer from " + at + " within " + std::to_string(f.timeoutMs) + " ms";
            break;
        case K::ErrorMessage:
            text = at +
                   (f.nak ? " answered with a NAK (status "
                          : " answered with an error message (code ") +
                   std::to_string(f.code) + ")";
            break;
        case K::BadAnswer:
            text = at + " sent an answer that is not a whole HART frame for the request";
            break;
        case K::NetworkError:
            text = "network error on " + at;
            break;
    }
    if (!f.detail.empty()) text += ": " + f.detail;
    return text;
}

}  // namespace qt40
