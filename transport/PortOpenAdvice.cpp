#include "transport/PortOpenAdvice.h"

namespace qt40 {

std::optional<PortAdvice> PortOpenAdvice(const OpenError& error) {
    switch (error.kind) {
        case OpenFailure::Missing:
            return PortAdvice{"Err_Port_Missing", {error.device}};
        case OpenFailure::Denied: {
            const std::string group = error.group.empty() ? kSerialGroup : error.group;
            return PortAdvice{"Err_Port_Denied", {error.device, group, group}};
        }
        case OpenFailure::Busy:
            return PortAdvice{"Err_Port_Busy", {error.device}};
        case OpenFailure::None:
        case OpenFailure::Other:
            break;
    }
    return std::nullopt;
}

std::string PortAdviceTemplate(const std::string& key) {
    if (key == "Err_Port_Missing") {
        return "There is no port %s.\n"
               "Plug in the HART modem or choose another port, then retry.";
    }
    if (key == "Err_Port_Denied") {
        return "You may not open %s.\n"
               "Add your user to the group %s (sudo usermod -aG %s $USER), "
               "log out and in again, then retry.";
    }
    if (key == "Err_Port_Busy") {
        return "%s is in use by another program.\n"
               "Close that program or its connection to the port, then retry.";
    }
    return {};
}

std::string PortAdviceEnglish(const PortAdvice& advice) {
    const std::string format = PortAdviceTemplate(advice.key);
    std::string text;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format.compare(i, 2, "%s") == 0) {
            if (next < advice.args.size()) {
                if (const auto* s = std::get_if<std::string>(&advice.args[next])) text += *s;
            }
            ++next;
            ++i;
        } else {
            // One line on a terminal.
            text += format[i] == '\n' ? ' ' : format[i];
        }
    }
    return text;
}

}  // namespace qt40
