#pragma once
// A pcapng file in memory: one section with a comment and the writing
// program's name, one interface carrying raw IPv4 packets with microsecond
// time stamps, and the packets, each with an optional comment.

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace qt40::traffic {

inline constexpr std::uint16_t kLinkTypeRawIp = 101;

class PcapngWriter {
public:
    PcapngWriter(const std::string& comment, const std::string& application,
                 const std::string& interfaceName);

    // An IPv4 packet seen at `utcUs` (microseconds since 1970).
    void AddPacket(std::int64_t utcUs, std::span<const std::uint8_t> packet,
                   const std::string& comment = {});
    std::size_t Packets() const { return packets_; }
    // The bytes not yet taken.
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
    // Hands them over and starts empty: the blocks that follow append to them.
    std::vector<std::uint8_t> Take() { return std::exchange(bytes_, {}); }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t packets_ = 0;
};

}  // namespace qt40::traffic
