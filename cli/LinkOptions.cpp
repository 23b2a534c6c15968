#include "cli/LinkOptions.h"

#include <CLI/CLI.hpp>

#include <algorithm>

#include "model/ConfigurationRules.h"
#include "transport/LineSetting.h"

namespace qt40::cli {

CLI::Range PollingAddressRange(int lowest) {
    const ValueRule& rule = RuleOf(DeviceValue::PollingAddress);
    return CLI::Range(std::max(lowest, static_cast<int>(rule.minimum)),
                      static_cast<int>(rule.maximum));
}

void AddLinkOptions(CLI::App* cmd, LinkOptions& options, bool withAddress) {
    cmd->add_option("--port,-p", options.port, kPortHelp)->required();
    if (withAddress) {
        cmd->add_option("--address,-a", options.address, "Polling address")
            ->check(PollingAddressRange());
    }
    cmd->add_option("--line", options.line,
                    "Serial line to the modem: 9600-8N1 (a modem that buffers and re-times, "
                    "the default) or 1200-8O1 (a plain Bell 202 modem)")
        ->check(CLI::Validator(
            [](std::string& value) -> std::string {
                const auto line = LineSetting::FromName(value);
                if (!line) return "must be 9600-8N1 or 1200-8O1";
                value = line->Name();
                return {};
            },
            "9600-8N1|1200-8O1", "line setting"));
    AddHartIpTimeout(cmd, options);
    AddTraceFlag(cmd, options);
    cmd->add_option("--capture", options.capture,
                    "Write every exchange into this pcapng file when the command ends "
                    "(Wireshark decodes it as HART-IP)");
}

void AddHartIpTimeout(CLI::App* cmd, LinkOptions& options) {
    cmd->add_option("--hartip-timeout", options.hartIpTimeoutMs,
                    "HART-IP: ms a gateway may take to answer a request (3000 unless given)")
        // Digits only: the number parser would take "0x100" or "1e3" too.
        ->check(CLI::Validator(
            [](std::string& value) -> std::string {
                const bool digits = !value.empty() && std::all_of(value.begin(), value.end(), [](char c) {
                    return c >= '0' && c <= '9';
                });
                return digits ? std::string() : "must be a whole number of milliseconds, in decimal digits";
            },
            "MS", "decimal milliseconds"))
        ->check(CLI::Range(100, 60000));
}

void AddTraceFlag(CLI::App* cmd, LinkOptions& options) {
    cmd->add_flag("--trace{decoded}", options.trace,
                  "Print every exchange decoded on stderr; --trace=hex: as hex")
        ->check(CLI::IsMember({"decoded", "hex"}));
}

CliConnection::Options ConnectionOptionsFor(const LinkOptions& options, const LinkTiming& timing,
                                            int reconnectWaitMs) {
    CliConnection::Options o;
    o.port = options.port;
    o.trace = options.trace == "hex";
    o.line = LineSetting::FromName(options.line).value_or(LineSetting{});
    if (options.traffic) o.observer = &options.traffic->Recorder();
    o.timing = timing;
    o.reconnectWaitMs = reconnectWaitMs;
    o.hartIp.answerTimeoutMs = options.hartIpTimeoutMs;
    return o;
}

}  // namespace qt40::cli
