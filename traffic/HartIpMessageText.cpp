#include "traffic/HartIpMessageText.h"

#include <algorithm>

#include "transport/HartIpHeader.h"

namespace qt40::traffic {
namespace {

std::string TypeText(HartIpMessageType type, const DecoderTexts& texts) {
    const auto n = static_cast<int>(type);
    switch (type) {
        case HartIpMessageType::Request:
            return texts.Text("Traffic_HartIp_Type_0", "request");
        case HartIpMessageType::Response:
            return texts.Text("Traffic_HartIp_Type_1", "response");
        case HartIpMessageType::Publish:
            return texts.Text("Traffic_HartIp_Type_2", "publish");
        case HartIpMessageType::Error:
            return texts.Text("Traffic_HartIp_Type_3", "error");
        case HartIpMessageType::Nak:
            return texts.Text("Traffic_HartIp_Type_15", "NAK");
    }
    return "type " + std::to_string(n);
}

std::string IdText(HartIpMessageId id, const DecoderTexts& texts) {
    switch (id) {
        case HartIpMessageId::SessionInitiate:
            return texts.Text("Traffic_HartIp_Id_0", "session initiate");
        case HartIpMessageId::SessionClose:
            return texts.Text("Traffic_HartIp_Id_1", "session close");
        case HartIpMessageId::KeepAlive:
            return texts.Text("Traffic_HartIp_Id_2", "keep-alive");
        case HartIpMessageId::TokenPassingPdu:
            return texts.Text("Traffic_HartIp_Id_3", "token-passing PDU");
    }
    return "ID " + std::to_string(static_cast<int>(id));
}

std::string StatusText(const HartIpHeader& h, const DecoderTexts& texts) {
    const std::string code = " (status " + std::to_string(h.status) + ")";
    if (h.id == HartIpMessageId::SessionInitiate) {
        switch (h.status) {
            case kHartIpSessionOk:
                return texts.ResponseText(0, 0);
            case kHartIpInvalidHostType:
                return texts.Text("Traffic_HartIp_Status_2", "invalid host type") + code;
            case kHartIpTooFewDataBytes:
                return texts.Text("Traffic_HartIp_Status_5", "too few data bytes") + code;
            case kHartIpTimerSetToNearest:
                return texts.Text("Traffic_HartIp_Status_8", "timer set to the nearest value") +
                       code;
            case kHartIpVersionNotSupported:
                return texts.Text("Traffic_HartIp_Status_14", "version not supported") + code;
            case kHartIpNoSessionAvailable:
                return texts.Text("Traffic_HartIp_Status_15", "no session available") + code;
            case kHartIpSessionExists:
                return texts.Text("Traffic_HartIp_Status_16", "session already exists") + code;
            default:
                break;
        }
    }
    // Elsewhere the status is a response code.
    return texts.ResponseText(0, h.status) + (h.status ? code : std::string());
}

std::string ErrorText(std::uint8_t code, const DecoderTexts& texts) {
    switch (code) {
        case kHartIpErrorSessionClosed:
            return texts.Text("Traffic_HartIp_Error_0", "session closed");
        case kHartIpErrorPrimaryUnavailable:
            return texts.Text("Traffic_HartIp_Error_1", "primary session unavailable");
        case kHartIpErrorServiceUnavailable:
            return texts.Text("Traffic_HartIp_Error_2", "service unavailable");
        default:
            return std::to_string(code);
    }
}

}  // namespace

DecodedMessage DecodeHartIpMessage(std::span<const std::uint8_t> message,
                                   const DecoderTexts& texts) {
    DecodedMessage out;
    const auto header = DecodeHartIpHeader(message);
    if (!header || header->version != kHartIpVersion) {
        out.name = texts.Text("Traffic_HartIp_Not_Message", "not a HART-IP message");
        out.fields.push_back({"Data", HexText(message), {}});
        return out;
    }
    const HartIpHeader& h = *header;
    out.name = "HART-IP " + IdText(h.id, texts) + " " + TypeText(h.type, texts);
    out.status = h.type == HartIpMessageType::Request ? texts.Text("Traffic_HartIp_Sent", "sent")
                                                      : StatusText(h, texts);
    out.fields.push_back(
        {texts.Text("Traffic_HartIp_Sequence", "Sequence"), std::to_string(h.sequence), {}});
    // The body as far as the message holds it: the byte count may lie.
    const std::size_t end = std::min<std::size_t>(
        std::max<std::size_t>(h.byteCount, kHartIpHeaderSize), message.size());
    const auto body =
        message.subspan(std::min(kHartIpHeaderSize, end), end - std::min(kHartIpHeaderSize, end));
    if (h.type == HartIpMessageType::Error || h.type == HartIpMessageType::Nak) {
        if (!body.empty()) {
            out.fields.push_back({texts.Text("Traffic_HartIp_Error", "Error"),
                                  std::to_string(body[0]) + " (" + ErrorText(body[0], texts) + ")",
                                  {}});
        }
        return out;
    }
    if (h.id == HartIpMessageId::SessionInitiate) {
        if (const auto session = DecodeHartIpSessionBody(body)) {
            const bool primary = session->hostType == kHartIpPrimaryHost;
            out.fields.push_back(
                {texts.Text("Traffic_HartIp_Host", "Host type"),
                 std::to_string(session->hostType) + " (" +
                     (primary ? texts.Text("Traffic_HartIp_Primary", "primary host")
                              : texts.Text("Traffic_HartIp_Secondary", "secondary host")) +
                     ")",
                 {}});
            out.fields.push_back({texts.Text("Traffic_HartIp_Timer", "Inactivity close timer"),
                                  std::to_string(session->inactivityTimerMs), "ms"});
            return out;
        }
    }
    if (h.id == HartIpMessageId::TokenPassingPdu && !body.empty()) {
        const DecodedFrame frame = DecodeFrame(body, texts);
        std::string value = frame.CommandText();
        if (frame.responseCode) value += ": " + frame.responseText;
        out.fields.push_back({frame.frameType, value, {}});
        return out;
    }
    if (!body.empty()) out.fields.push_back({"Data", HexText(body), {}});
    return out;
}

}  // namespace qt40::traffic
