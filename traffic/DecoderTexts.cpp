#include "traffic/DecoderTexts.h"

#include <cstdio>

#include "hart/ResponseCodes.h"

namespace qt40::traffic {
namespace {

std::string Mask(std::uint8_t mask) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", mask);
    return text;
}

}  // namespace

std::string DecoderTexts::Text(const std::string& key, std::string_view english) const {
    if (lookup_) {
        if (std::string text = lookup_(key); !text.empty()) return text;
    }
    return std::string(english);
}

std::string DecoderTexts::Number(const std::string& key, std::string_view english,
                                 long long number) const {
    // Replaced, never formatted: a language text is no format to trust.
    std::string text = Text(key, english);
    if (const auto at = text.find("%d"); at != std::string::npos) {
        text.replace(at, 2, std::to_string(number));
    }
    return text;
}

std::string DecoderTexts::CommandName(int command, std::string_view english) const {
    if (english.empty()) return {};
    return Text("Traffic_Cmd_" + std::to_string(command), english);
}

std::string DecoderTexts::ResponseText(std::uint8_t command, std::uint8_t code) const {
    if (code & 0x80) {
        std::string text = Text("Traffic_Comm_Error", "communication error");
        const auto bits = CommunicationErrorBits(code);
        for (std::size_t i = 0; i < bits.size(); ++i) {
            text += (i == 0 ? ": " : ", ") +
                    Text("Traffic_Comm_" + Mask(bits[i].mask), bits[i].meaning);
        }
        return text;
    }
    const std::string english = ResponseCodeText(command, code);
    // A meaning the command gives its own code, else the one all commands share.
    const bool own = english != ResponseCodeText(0, code);
    if (english.rfind("response code ", 0) == 0 && !own) {
        return Number("Traffic_RC_Other", "response code %d", code);
    }
    return Text("Traffic_RC_" + (own ? std::to_string(command) + "_" : std::string()) +
                    std::to_string(code),
                english);
}

std::string DecoderTexts::StatusMeaning(std::uint8_t mask, std::string_view english) const {
    return Text("Traffic_Status_" + Mask(mask), english);
}

std::string DecoderTexts::FieldName(std::string_view english) const {
    // The key is the English name with every run of other characters as "_".
    std::string key = "Traffic_Field_";
    bool gap = false;
    for (const char c : english) {
        const bool word =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!word) {
            gap = true;
            continue;
        }
        if (gap && key.back() != '_') key += '_';
        gap = false;
        key += c;
    }
    return Text(key, english);
}

}  // namespace qt40::traffic
