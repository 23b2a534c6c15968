#include "traffic/PcapngReader.h"

#include <algorithm>
#include <cmath>

namespace qt40::traffic {
namespace {

constexpr std::uint32_t kSection = 0x0A0D0D0A;
constexpr std::uint32_t kInterface = 0x00000001;
constexpr std::uint32_t kEnhancedPacket = 0x00000006;
constexpr std::uint32_t kMagic = 0x1A2B3C4D;
constexpr std::uint32_t kSwappedMagic = 0x4D3C2B1A;

struct Interface {
    std::uint16_t linkType = 0;
    // Time-stamp units per second.
    std::uint64_t unitsPerSecond = 1000000;
};

// Numbers in the byte order of the current section.
class Cursor {
public:
    Cursor(std::span<const std::uint8_t> bytes, bool little) : bytes_(bytes), little_(little) {}
    bool Has(std::size_t at, std::size_t n) const {
        return at <= bytes_.size() && n <= bytes_.size() - at;
    }
    std::uint16_t U16(std::size_t at) const {
        const unsigned a = bytes_[at], b = bytes_[at + 1];
        return static_cast<std::uint16_t>(little_ ? (b << 8 | a) : (a << 8 | b));
    }
    std::uint32_t U32(std::size_t at) const {
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const std::uint32_t b = bytes_[at + i];
            v |= little_ ? b << (8 * i) : b << (8 * (3 - i));
        }
        return v;
    }
    std::span<const std::uint8_t> Bytes() const { return bytes_; }

private:
    std::span<const std::uint8_t> bytes_;
    bool little_;
};

// Options from `at` to `end`: calls `take(code, value)` for each.
template <class F>
void Options(const Cursor& c, std::size_t at, std::size_t end, F take) {
    while (at + 4 <= end) {
        const std::uint16_t code = c.U16(at);
        const std::uint16_t length = c.U16(at + 2);
        if (code == 0) return;
        const std::size_t padded = (static_cast<std::size_t>(length) + 3) / 4 * 4;
        if (at + 4 + padded > end) return;
        take(code, c.Bytes().subspan(at + 4, length));
        at += 4 + padded;
    }
}

std::string Text(std::span<const std::uint8_t> value) {
    return {reinterpret_cast<const char*>(value.data()), value.size()};
}

}  // namespace

std::optional<PcapngContents> PcapngReader::Read(std::span<const std::uint8_t> bytes,
                                                 std::string& error) {
    if (bytes.size() < 28 || !(bytes[0] == 0x0A && bytes[1] == 0x0D && bytes[2] == 0x0D &&
                               bytes[3] == 0x0A)) {
        error = "not a pcapng file";
        return std::nullopt;
    }
    PcapngContents contents;
    std::vector<Interface> interfaces;
    bool little = true;
    std::size_t at = 0;
    while (at + 12 <= bytes.size()) {
        // A section header settles the byte order of everything up to the next.
        if (bytes[at] == 0x0A && bytes[at + 1] == 0x0D && bytes[at + 2] == 0x0D &&
            bytes[at + 3] == 0x0A && at + 12 <= bytes.size()) {
            const Cursor probe(bytes, true);
            const std::uint32_t magic = probe.U32(at + 8);
            if (magic == kMagic) {
                little = true;
            } else if (magic == kSwappedMagic) {
                little = false;
            } else {
                error = "broken pcapng section header";
                return contents.packets.empty() ? std::nullopt : std::optional(contents);
            }
        }
        const Cursor c(bytes, little);
        const std::uint32_t type = c.U32(at);
        const std::uint32_t length = c.U32(at + 4);
        if (length < 12 || length % 4 != 0 || !c.Has(at, length) ||
            c.U32(at + length - 4) != length) {
            if (contents.packets.empty() && at == 0) {
                error = "broken pcapng block at byte " + std::to_string(at);
                return std::nullopt;
            }
            break;  // cut short: keep what came before
        }
        const std::size_t end = at + length - 4;
        if (type == kSection) {
            interfaces.clear();
            if (end >= at + 24) {
                Options(c, at + 24, end, [&](std::uint16_t code, std::span<const std::uint8_t> v) {
                    if (code == 1) contents.comments.push_back(Text(v));
                });
            }
        } else if (type == kInterface && end >= at + 16) {
            Interface i;
            i.linkType = c.U16(at + 8);
            Options(c, at + 16, end, [&](std::uint16_t code, std::span<const std::uint8_t> v) {
                if (code != 9 || v.size() != 1) return;
                const int exponent = v[0] & 0x7F;
                // Finer than a nanosecond or coarser than a second: not ours to guess.
                if (v[0] & 0x80) {
                    if (exponent <= 40) i.unitsPerSecond = std::uint64_t{1} << exponent;
                } else if (exponent <= 12) {
                    i.unitsPerSecond = static_cast<std::uint64_t>(std::pow(10.0, exponent));
                }
            });
            interfaces.push_back(i);
        } else if (type == kEnhancedPacket && end >= at + 28) {
            const std::uint32_t id = c.U32(at + 8);
            const std::uint64_t ts = static_cast<std::uint64_t>(c.U32(at + 12)) << 32 | c.U32(at + 16);
            const std::uint32_t captured = c.U32(at + 20);
            const std::size_t dataAt = at + 28;
            if (id < interfaces.size() && captured <= end - dataAt) {
                PcapngPacket p;
                const Interface& i = interfaces[id];
                p.linkType = i.linkType;
                // Far-future stamps are held at the year 5000, so that times
                // and their differences stay within range.
                const std::uint64_t seconds =
                    std::min<std::uint64_t>(ts / i.unitsPerSecond, 95'617'584'000);
                const std::uint64_t rest = ts % i.unitsPerSecond;
                p.utcUs = static_cast<std::int64_t>(seconds * 1000000 +
                                                    rest * 1000000 / i.unitsPerSecond);
                p.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(dataAt),
                              bytes.begin() + static_cast<std::ptrdiff_t>(dataAt + captured));
                const std::size_t options = dataAt + (captured + 3) / 4 * 4;
                if (options <= end) {
                    Options(c, options, end, [&](std::uint16_t code, std::span<const std::uint8_t> v) {
                        if (code == 1) p.comment += (p.comment.empty() ? "" : "\n") + Text(v);
                    });
                }
                contents.packets.push_back(std::move(p));
            }
        }
        at += length;
    }
    return contents;
}

}  // namespace qt40::traffic
