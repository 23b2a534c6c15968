#pragma once
// The packets of a pcapng file, block by block as they are read: each
// section's comment, and every packet (enhanced, simple or obsolete packet
// block) with its time, its interface's link type and name and its comment.
// Files are untrusted input: the magic is checked before anything else is
// read, no more than a limit is ever read whatever the source (a pipe, a
// device), every length is checked before it is used, and every block that
// does not hold together is counted with where it lies.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qt40::traffic {

struct PcapngPacket {
    std::int64_t utcUs = 0;
    std::uint16_t linkType = 0;
    std::string_view interfaceName;  // valid until the next packet is read
    std::vector<std::uint8_t> data;  // as captured (possibly cut short)
    std::string comment;
    std::uint64_t at = 0;  // where its block starts in the file
};

struct PcapngContents {
    std::vector<std::string> comments;  // of the sections
    std::vector<PcapngPacket> packets;  // interface names not kept
};

class PcapngReader {
public:
    static constexpr std::uint64_t kDefaultLimit = std::uint64_t{256} << 20;
    // Fills up to `n` bytes; fewer only at the end of the file. Nothing when
    // the source fails.
    using Source = std::function<std::optional<std::size_t>(std::uint8_t* into, std::size_t n)>;

    explicit PcapngReader(Source source, std::uint64_t limit = kDefaultLimit);

    // Reads the first section header; false, with Error(), for bytes that
    // are no pcapng file (a classic pcap file is named as such).
    bool Open();
    // The next packet; false at the end of the file, where it breaks off, or
    // when the source fails (Error()).
    bool Next(PcapngPacket& packet);

    const std::vector<std::string>& Comments() const { return comments_; }
    // Blocks not taken: broken, naming no interface, cut short; and where.
    std::size_t DamagedBlocks() const { return damaged_; }
    const std::vector<std::string>& Damage() const { return damage_; }
    // Why Open failed or the source broke off; empty otherwise.
    const std::string& Error() const { return error_; }
    std::uint64_t BytesRead() const { return offset_; }

    // The whole of `bytes`: nothing, with `error`, when they are no pcapng
    // file or break before their first block ends.
    static std::optional<PcapngContents> Read(std::span<const std::uint8_t> bytes,
                                              std::string& error);

private:
    struct Interface {
        std::uint16_t linkType = 0;
        std::uint64_t unitsPerSecond = 1000000;  // time-stamp units per second
        std::uint32_t snapLength = 0;
        std::string name;
    };
    enum class Block { Read, End, Broken };

    Block ReadBlock();
    std::size_t Fill(std::uint8_t* into, std::size_t n);
    void Damaged(std::uint64_t at, const std::string& what);
    void Stop(std::uint64_t at, const std::string& what);
    std::uint16_t U16(std::size_t at) const;
    std::uint32_t U32(std::size_t at) const;
    void Section(std::uint64_t at);
    void InterfaceBlock();
    bool Packet(std::uint32_t type, std::uint64_t at, PcapngPacket& packet);

    Source source_;
    std::uint64_t limit_;
    std::uint64_t offset_ = 0;
    bool little_ = true;
    bool stopped_ = false;
    bool failed_ = false;
    std::vector<std::uint8_t> block_;  // the block being read, reused
    std::vector<Interface> interfaces_;
    std::vector<std::string> comments_;
    std::size_t damaged_ = 0;
    std::vector<std::string> damage_;
    std::string error_;
    std::int64_t lastUs_ = 0;
};

}  // namespace qt40::traffic
