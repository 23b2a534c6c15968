#pragma once
// The targets file: plain text, one endpoint a line with optional polling
// addresses (one address, a range "1-4", or "all" for 0-15; 0 when none is
// given), "#" starting a comment. An endpoint that looks like a URL must be
// hartip://HOST[:PORT] or hartip+udp://HOST[:PORT] (IPv6 literals in
// brackets); any other word is a serial port path, colons and all.
// The whole file is checked before anything is sent: the first bad line
// refuses it, named by its number.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fleet/FleetTarget.h"

namespace qt40::fleet {

struct TargetsResult {
    std::vector<FleetTarget> targets;
    std::string error;  // "line N: why", prefixed by the file name when read from one
    bool ok() const { return error.empty(); }
};

class TargetsFile {
public:
    // Every line of `text` (LF, CR LF or CR, a byte-order mark allowed).
    // Refuses a file without any endpoint and an endpoint listed twice.
    static TargetsResult Parse(std::string_view text);
    // Parse, then SameEndpoints.
    static TargetsResult Read(const std::filesystem::path& path);

    // Two lines that reach one loop under two spellings: a host name and its
    // address (localhost, 127.0.0.1), two spellings of one IPv6 address, a
    // serial port and a link to it. "line N: why", or nothing. Looks names
    // up (a name that cannot be looked up is compared as written).
    static std::optional<std::string> SameEndpoints(const std::vector<FleetTarget>& targets);

    // Why `word` is not an endpoint, or nothing when it is one.
    static std::optional<std::string> CheckEndpoint(std::string_view word);
    // The endpoint as compared for repeats: URL scheme and host in lower
    // case, the default port written out; a serial path as it is.
    static std::string CanonicalEndpoint(std::string_view word);
    // "3", "1-4" or "all" as addresses; nothing with `error` set otherwise.
    static std::optional<std::vector<int>> ParseAddresses(std::string_view word,
                                                          std::string& error);
};

}  // namespace qt40::fleet
