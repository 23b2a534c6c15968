#include "traffic/PcapngReader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace qt40::traffic {
namespace {

constexpr std::uint32_t kSection = 0x0A0D0D0A;
constexpr std::uint32_t kInterface = 0x00000001;
constexpr std::uint32_t kObsoletePacket = 0x00000002;
constexpr std::uint32_t kSimplePacket = 0x00000003;
constexpr std::uint32_t kEnhancedPacket = 0x00000006;
constexpr std::uint32_t kMagic = 0x1A2B3C4D;
constexpr std::uint32_t kSwappedMagic = 0x4D3C2B1A;
// Grown by this much at a time, so a block that lies about its length costs
// no more memory than the bytes that are really there.
constexpr std::size_t kChunk = 1 << 20;
// Where damage lies is told for so many blocks; the rest are counted.
constexpr std::size_t kDamageTold = 5;
// Far-future stamps are held at the year 5000, so that times and their
// differences stay within range.
constexpr std::uint64_t kLastSecond = 95'617'584'000;

std::string Text(std::span<const std::uint8_t> value) {
    return {reinterpret_cast<const char*>(value.data()), value.size()};
}

std::uint32_t Le32(const std::uint8_t* b) {
    return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
           static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

}  // namespace

PcapngReader::PcapngReader(Source source, std::uint64_t limit)
    : source_(std::move(source)), limit_(limit) {}

std::uint16_t PcapngReader::U16(std::size_t at) const {
    const unsigned a = block_[at], b = block_[at + 1];
    return static_cast<std::uint16_t>(little_ ? (b << 8 | a) : (a << 8 | b));
}

std::uint32_t PcapngReader::U32(std::size_t at) const {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::uint32_t b = block_[at + i];
        v |= little_ ? b << (8 * i) : b << (8 * (3 - i));
    }
    return v;
}

std::size_t PcapngReader::Fill(std::uint8_t* into, std::size_t n) {
    std::size_t got = 0;
    while (got < n) {
        const auto part = source_(into + got, n - got);
        if (!part) {
            failed_ = true;
            error_ = "cannot read the file at byte " + std::to_string(offset_ + got);
            return got;
        }
        if (*part == 0) break;
        got += *part;
    }
    return got;
}

void PcapngReader::Damaged(std::uint64_t at, const std::string& what) {
    ++damaged_;
    if (damage_.size() < kDamageTold)
        damage_.push_back("at byte " + std::to_string(at) + ": " + what);
}

void PcapngReader::Stop(std::uint64_t at, const std::string& what) {
    Damaged(at, what + "; nothing after it was read");
    stopped_ = true;
}

// One whole block into block_, its trailing length checked.
PcapngReader::Block PcapngReader::ReadBlock() {
    if (stopped_ || failed_) return Block::End;
    const std::uint64_t at = offset_;
    block_.resize(12);
    const std::size_t head = Fill(block_.data(), 12);
    offset_ += head;
    if (failed_) return Block::Broken;
    if (head == 0) return Block::End;
    if (head < 12) {
        Stop(at, "the file ends " + std::to_string(head) + " bytes into a block");
        return Block::Broken;
    }
    // A section header settles the byte order of everything up to the next.
    if (Le32(block_.data()) == kSection) {
        const std::uint32_t magic = Le32(block_.data() + 8);
        if (magic != kMagic && magic != kSwappedMagic) {
            Stop(at, "a section header without its byte-order magic");
            return Block::Broken;
        }
        little_ = magic == kMagic;
    }
    const std::uint32_t length = U32(4);
    // A block written in the other byte order than its section's reads as
    // nonsense; where its length would fit the other way round, it is said.
    const auto swap = [](std::uint32_t v) {
        return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
    };
    const std::uint32_t swappedType = swap(U32(0)), swappedLength = swap(length);
    const bool otherOrder = swappedType >= 1 && swappedType <= 10 && swappedLength >= 12 &&
                            swappedLength % 4 == 0;
    const std::string order = otherOrder ? ", perhaps in the other byte order" : "";
    if (length < 12 || length % 4 != 0) {
        Stop(at, "no block (its length would be " + std::to_string(length) + " bytes" + order + ")");
        return Block::Broken;
    }
    if (length - 12 > limit_ - std::min(limit_, offset_)) {
        Stop(at, "a block of " + std::to_string(length) + " bytes" + order + ", past the " +
                     std::to_string(limit_ >> 20) + " MiB that are read of a file");
        return Block::Broken;
    }
    std::size_t have = 12;
    while (have < length) {
        const std::size_t step = std::min<std::size_t>(kChunk, length - have);
        block_.resize(have + step);
        const std::size_t got = Fill(block_.data() + have, step);
        have += got;
        offset_ += got;
        if (failed_) return Block::Broken;
        if (got < step) {
            Stop(at, "the file ends " + std::to_string(have) + " bytes into a block of " +
                         std::to_string(length));
            return Block::Broken;
        }
    }
    if (U32(length - 4) != length) {
        Stop(at, "a block whose lengths differ (" + std::to_string(length) + " and " +
                     std::to_string(U32(length - 4)) + ")");
        return Block::Broken;
    }
    return Block::Read;
}

bool PcapngReader::Open() {
    std::uint8_t magic[4] = {};
    const std::size_t n = Fill(magic, 4);
    if (failed_) return false;
    offset_ = n;
    const std::uint32_t m = Le32(magic);
    if (n < 4 || m != kSection) {
        if (n == 4 && (m == 0xA1B2C3D4 || m == 0xD4C3B2A1 || m == 0xA1B23C4D || m == 0x4D3CB2A1)) {
            error_ = "a classic pcap file, not pcapng: convert it with editcap -F pcapng";
        } else {
            error_ = "not a pcapng file";
        }
        return false;
    }
    // The block again, whole, with its first four bytes already taken.
    Source rest = std::move(source_);
    bool given = false;
    source_ = [&](std::uint8_t* into, std::size_t want) -> std::optional<std::size_t> {
        if (!given && want >= 4) {
            given = true;
            std::memcpy(into, magic, 4);
            const auto more = rest(into + 4, want - 4);
            if (!more) return std::nullopt;
            return 4 + *more;
        }
        return rest(into, want);
    };
    offset_ = 0;
    const Block first = ReadBlock();
    source_ = std::move(rest);
    if (first != Block::Read) {
        if (!failed_)
            error_ =
                damage_.empty() ? "not a pcapng file" : "broken pcapng block " + damage_.front();
        return false;
    }
    Section(0);
    return true;
}

void PcapngReader::Section(std::uint64_t at) {
    interfaces_.clear();
    const std::size_t end = block_.size() - 4;
    if (block_.size() < 28) {
        Damaged(at, "a section header too short for its fields");
        return;
    }
    if (U16(12) != 1)
        Damaged(at, "a section of version " + std::to_string(U16(12)) + " (read as 1)");
    for (std::size_t o = 24; o + 4 <= end;) {
        const std::uint16_t code = U16(o), size = U16(o + 2);
        const std::size_t padded = (static_cast<std::size_t>(size) + 3) / 4 * 4;
        if (code == 0 || o + 4 + padded > end) break;
        if (code == 1) comments_.push_back(Text({block_.data() + o + 4, size}));
        o += 4 + padded;
    }
}

void PcapngReader::InterfaceBlock() {
    Interface i;
    const std::size_t end = block_.size() - 4;
    if (end >= 16) {
        i.linkType = U16(8);
        i.snapLength = U32(12);
    }
    for (std::size_t o = 16; o + 4 <= end;) {
        const std::uint16_t code = U16(o), size = U16(o + 2);
        const std::size_t padded = (static_cast<std::size_t>(size) + 3) / 4 * 4;
        if (code == 0 || o + 4 + padded > end) break;
        const std::uint8_t* v = block_.data() + o + 4;
        if (code == 2) i.name = Text({v, size});
        if (code == 9 && size == 1) {
            const int exponent = v[0] & 0x7F;
            // Finer than a nanosecond or coarser than a second: not ours to guess.
            if (v[0] & 0x80) {
                if (exponent <= 40) i.unitsPerSecond = std::uint64_t{1} << exponent;
            } else if (exponent <= 12) {
                i.unitsPerSecond = static_cast<std::uint64_t>(std::pow(10.0, exponent));
            }
        }
        o += 4 + padded;
    }
    interfaces_.push_back(std::move(i));
}

bool PcapngReader::Packet(std::uint32_t type, std::uint64_t at, PcapngPacket& p) {
    const std::size_t end = block_.size() - 4;
    std::uint32_t id = 0;
    std::uint64_t ts = 0;
    std::uint32_t captured = 0;
    std::size_t dataAt = 0;
    const bool stamped = type != kSimplePacket;
    if (type == kSimplePacket) {
        if (end < 12) return Damaged(at, "a simple packet block too short for its fields"), false;
        dataAt = 12;
        captured = static_cast<std::uint32_t>(std::min<std::size_t>(U32(8), end - dataAt));
    } else {
        if (end < 28) return Damaged(at, "a packet block too short for its fields"), false;
        id = type == kEnhancedPacket ? U32(8) : U16(8);
        ts = static_cast<std::uint64_t>(U32(12)) << 32 | U32(16);
        captured = U32(20);
        dataAt = 28;
    }
    if (id >= interfaces_.size()) {
        Damaged(at, "a packet of interface " + std::to_string(id) +
                        ", which the section does not define");
        return false;
    }
    if (captured > end - dataAt) {
        Damaged(at, "a packet of " + std::to_string(captured) + " bytes in a block of " +
                        std::to_string(block_.size()));
        return false;
    }
    const Interface& i = interfaces_[id];
    if (type == kSimplePacket && i.snapLength != 0) captured = std::min(captured, i.snapLength);
    p.at = at;
    p.linkType = i.linkType;
    p.interfaceName = i.name;
    if (stamped) {
        const std::uint64_t seconds = std::min<std::uint64_t>(ts / i.unitsPerSecond, kLastSecond);
        const std::uint64_t rest = ts % i.unitsPerSecond;
        // The fraction through a double: units up to 2^40 a second times a
        // million would overflow 64 bits.
        p.utcUs = static_cast<std::int64_t>(seconds * 1000000) +
                  static_cast<std::int64_t>(static_cast<double>(rest) * 1e6 /
                                            static_cast<double>(i.unitsPerSecond));
        lastUs_ = p.utcUs;
    } else {
        p.utcUs = lastUs_;  // a simple packet carries no time
    }
    p.data.assign(block_.begin() + static_cast<std::ptrdiff_t>(dataAt),
                  block_.begin() + static_cast<std::ptrdiff_t>(dataAt + captured));
    p.comment.clear();
    if (stamped) {
        for (std::size_t o = dataAt + (captured + 3) / 4 * 4; o + 4 <= end;) {
            const std::uint16_t code = U16(o), size = U16(o + 2);
            const std::size_t padded = (static_cast<std::size_t>(size) + 3) / 4 * 4;
            if (code == 0 || o + 4 + padded > end) break;
            if (code == 1) {
                p.comment += (p.comment.empty() ? "" : "\n") + Text({block_.data() + o + 4, size});
            }
            o += 4 + padded;
        }
    }
    return true;
}

bool PcapngReader::Next(PcapngPacket& packet) {
    for (;;) {
        const std::uint64_t at = offset_;
        if (ReadBlock() != Block::Read) return false;
        const std::uint32_t type = U32(0);
        switch (type) {
            case kSection:
                Section(at);
                break;
            case kInterface:
                InterfaceBlock();
                break;
            case kEnhancedPacket:
            case kObsoletePacket:
            case kSimplePacket:
                if (Packet(type, at, packet)) return true;
                break;
            default:
                break;  // statistics, name resolution …: nothing to read there
        }
    }
}

std::optional<PcapngContents> PcapngReader::Read(std::span<const std::uint8_t> bytes,
                                                 std::string& error) {
    std::size_t at = 0;
    PcapngReader reader([&](std::uint8_t* into, std::size_t n) -> std::optional<std::size_t> {
        const std::size_t take = std::min(n, bytes.size() - at);
        if (take) std::memcpy(into, bytes.data() + at, take);
        at += take;
        return take;
    });
    if (!reader.Open()) {
        error = reader.Error();
        return std::nullopt;
    }
    PcapngContents contents;
    PcapngPacket p;
    while (reader.Next(p)) {
        p.interfaceName = {};
        contents.packets.push_back(std::move(p));
        p = {};
    }
    contents.comments = reader.Comments();
    if (!reader.Damage().empty()) error = reader.Damage().front();
    return contents;
}

}  // namespace qt40::traffic
