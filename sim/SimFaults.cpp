#include "sim/SimFaults.h"

#include <charconv>

namespace qt40::sim {
namespace {

std::optional<int> ParseInt(std::string_view text) {
    int value = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::string> ApplyFaultSwitch(const std::string& text, SimFaults& faults) {
    const auto colon = text.find(':');
    const std::string name = text.substr(0, colon);
    const std::string arg = colon == std::string::npos ? "" : text.substr(colon + 1);

    if (name == "code") {
        const auto eq = arg.find('=');
        const auto command = eq == std::string::npos ? std::nullopt : ParseInt(arg.substr(0, eq));
        const auto code = eq == std::string::npos ? std::nullopt : ParseInt(arg.substr(eq + 1));
        if (!command || !code || *command < 0 || *command > 255 || *code < 0 || *code > 255) {
            return "fault \"" + text + "\": expected code:COMMAND=RESPONSECODE, both 0 to 255";
        }
        faults.responseCodeFor[static_cast<std::uint8_t>(*command)] =
            static_cast<std::uint8_t>(*code);
        return std::nullopt;
    }

    if (name == "delayed") {
        const auto eq = arg.find('=');
        const std::string which = eq == std::string::npos ? "" : arg.substr(0, eq);
        const auto command = which == "*" ? std::optional<int>(-1) : ParseInt(which);
        const auto n = eq == std::string::npos ? std::nullopt : ParseInt(arg.substr(eq + 1));
        if (!command || !n || *command < -1 || *command > 255 || *n < 0 || *n > 1000) {
            return "fault \"" + text + "\": expected delayed:COMMAND=N (COMMAND 0 to 255 or *, N 0 to 1000)";
        }
        if (*command < 0) {
            faults.delayedForEvery = *n;
        } else {
            faults.delayedFor[static_cast<std::uint8_t>(*command)] = *n;
        }
        return std::nullopt;
    }

    if (name == "only") {
        const auto command = ParseInt(arg);
        if (!command || *command < 0 || *command > 255) {
            return "fault \"" + text + "\": expected only:COMMAND, 0 to 255";
        }
        faults.onlyCommand = static_cast<std::uint8_t>(*command);
        return std::nullopt;
    }

    // "name@N": every N-th answer.
    const auto at = text.find('@');
    const std::string counted = at == std::string::npos ? name : text.substr(0, at);
    FaultCount* target = counted == "drop"       ? &faults.dropAnswer
                         : counted == "checksum" ? &faults.corruptChecksum
                         : counted == "busy"     ? &faults.busy
                         : counted == "refuse"   ? &faults.refuse
                         : counted == "noise"    ? &faults.noise
                         : counted == "gap"      ? &faults.gap
                         : counted == "mix"      ? &faults.mixed
                                                 : nullptr;
    if (!target) {
        return "unknown fault \"" + text +
               "\" (drop, checksum, busy, refuse, noise, gap, with :N or @N; mix@N; code:CMD=RC, "
               "delayed:CMD=N, only:CMD)";
    }
    if (at != std::string::npos) {
        const auto n = colon == std::string::npos ? ParseInt(text.substr(at + 1)) : std::nullopt;
        if (!n || *n < 1) return "fault \"" + text + "\": expected NAME@N with N a whole number from 1";
        target->every = *n;
        target->seen = 0;
        faults.mixedNext = 0;
        return std::nullopt;
    }
    if (arg.empty()) {
        target->remaining = 1;
    } else if (arg == "*") {
        target->remaining = -1;
    } else if (auto n = ParseInt(arg); n && *n >= 0) {
        target->remaining = *n;
    } else {
        return "fault \"" + text + "\": the count must be a whole number or *";
    }
    return std::nullopt;
}

}  // namespace qt40::sim
