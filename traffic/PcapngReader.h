#pragma once
// The packets of a pcapng file: each section's comment, and every enhanced
// packet with its time, its interface's link type and its comment. Files are
// untrusted input: every length is checked before it is used.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qt40::traffic {

struct PcapngPacket {
    std::int64_t utcUs = 0;
    std::uint16_t linkType = 0;
    std::vector<std::uint8_t> data;  // as captured (possibly cut short)
    std::string comment;
};

struct PcapngContents {
    std::vector<std::string> comments;  // of the sections
    std::vector<PcapngPacket> packets;
};

class PcapngReader {
public:
    // Nothing, with `error` saying why, for bytes that are not a pcapng file
    // or are broken before their first packet; a file cut short keeps the
    // packets before the cut.
    static std::optional<PcapngContents> Read(std::span<const std::uint8_t> bytes,
                                              std::string& error);
};

}  // namespace qt40::traffic
