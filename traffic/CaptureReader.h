#pragma once
// The HART exchanges in a capture: HART-IP token-passing messages found in
// the UDP datagrams and TCP streams of a pcapng file, over IPv4 or IPv6, on
// any port (our own captures of a serial line among them), each answer paired
// with the request of the same endpoints and sequence number. What our own
// captures say in their comments (preambles removed, the exchange number, the
// try, how an exchange ended and after how long) is read back. What could not
// be read is counted and said, and damaged blocks are counted with where they lie.

#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "traffic/Exchange.h"
#include "traffic/PcapngReader.h"

namespace qt40::traffic {

struct CaptureContents {
    std::vector<std::string> comments;  // the sections' comments
    std::int64_t wallClockStartUs = 0;  // time of the first packet (none: 0)
    std::deque<Exchange> exchanges;     // grows without copying what it holds
    std::size_t packets = 0;
    std::size_t otherMessages = 0;    // HART-IP messages too short for a header
    std::size_t unpairedAnswers = 0;  // answers to requests the capture does not hold
    std::size_t notHartIp = 0;        // packets of other traffic
    std::size_t fragments = 0;        // IP fragments (not put together)
    std::size_t streamGaps = 0;       // TCP segments missing from the capture
    std::map<std::uint16_t, std::size_t> unreadLinkTypes;  // link type: packets
    std::size_t damagedBlocks = 0;
    std::vector<std::string> damage;  // where and what, the first few

    bool Damaged() const { return damagedBlocks > 0; }
    // What was in the file but is not among the exchanges, one line each.
    std::vector<std::string> NotRead() const;
    // "3 damaged blocks: at byte 28: …; at byte 96: …"; empty when none.
    std::string DamageText() const;
};

class CaptureReader {
public:
    // Nothing, with `error`, for bytes that are no pcapng file.
    static std::optional<CaptureContents> Read(std::span<const std::uint8_t> bytes,
                                               std::string& error);
    // A file, pipe or device, read block by block up to `limit` bytes.
    static std::optional<CaptureContents> ReadFile(
        const std::filesystem::path& path, std::string& error,
        std::uint64_t limit = PcapngReader::kDefaultLimit);
    // From any source.
    static std::optional<CaptureContents> Read(PcapngReader& reader, std::string& error);
};

}  // namespace qt40::traffic
