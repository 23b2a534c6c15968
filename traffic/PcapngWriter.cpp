#include "traffic/PcapngWriter.h"

#include <algorithm>

namespace qt40::traffic {
namespace {

// Blocks are written in this machine's byte order; the byte-order magic of
// the section tells readers which that is.
class Block {
public:
    explicit Block(std::uint32_t type) { U32(type), U32(0); }

    Block& U16(std::uint16_t v) { return Raw(&v, 2); }
    Block& U32(std::uint32_t v) { return Raw(&v, 4); }
    Block& U64(std::uint64_t v) { return Raw(&v, 8); }
    Block& Data(std::span<const std::uint8_t> bytes) {
        body_.insert(body_.end(), bytes.begin(), bytes.end());
        return Pad();
    }
    Block& Option(std::uint16_t code, std::span<const std::uint8_t> value) {
        U16(code);
        U16(static_cast<std::uint16_t>(value.size()));
        return Data(value);
    }
    Block& Option(std::uint16_t code, const std::string& text) {
        if (text.empty()) return *this;
        // An option holds at most 65535 bytes; a longer comment is cut.
        const std::size_t n = std::min<std::size_t>(text.size(), 0xFFFC);
        return Option(code, {reinterpret_cast<const std::uint8_t*>(text.data()), n});
    }
    Block& EndOfOptions() { return U32(0); }

    void AppendTo(std::vector<std::uint8_t>& out) {
        const auto total = static_cast<std::uint32_t>(body_.size() + 4);
        std::copy_n(reinterpret_cast<const std::uint8_t*>(&total), 4, body_.begin() + 4);
        U32(total);
        out.insert(out.end(), body_.begin(), body_.end());
    }

private:
    Block& Raw(const void* p, std::size_t n) {
        const auto* b = static_cast<const std::uint8_t*>(p);
        body_.insert(body_.end(), b, b + n);
        return *this;
    }
    Block& Pad() {
        while (body_.size() % 4) body_.push_back(0);
        return *this;
    }
    std::vector<std::uint8_t> body_;
};

constexpr std::uint16_t kOptEnd = 0, kOptComment = 1, kShbUserAppl = 4, kIfName = 2,
                        kIfTsResol = 9;

}  // namespace

PcapngWriter::PcapngWriter(const std::string& comment, const std::string& application,
                           const std::string& interfaceName) {
    Block section(0x0A0D0D0A);
    section.U32(0x1A2B3C4D).U16(1).U16(0).U64(~std::uint64_t{0});
    section.Option(kOptComment, comment).Option(kShbUserAppl, application).EndOfOptions();
    section.AppendTo(bytes_);

    Block interface(0x00000001);
    interface.U16(kLinkTypeRawIp).U16(0).U32(0);
    const std::uint8_t microseconds = 6;
    interface.Option(kIfName, interfaceName).Option(kIfTsResol, {&microseconds, 1}).EndOfOptions();
    interface.AppendTo(bytes_);
    (void)kOptEnd;
}

void PcapngWriter::AddPacket(std::int64_t utcUs, std::span<const std::uint8_t> packet,
                             const std::string& comment) {
    const auto ts = static_cast<std::uint64_t>(utcUs);
    Block epb(0x00000006);
    epb.U32(0).U32(static_cast<std::uint32_t>(ts >> 32)).U32(static_cast<std::uint32_t>(ts));
    epb.U32(static_cast<std::uint32_t>(packet.size())).U32(static_cast<std::uint32_t>(packet.size()));
    epb.Data(packet);
    if (!comment.empty()) epb.Option(kOptComment, comment).EndOfOptions();
    epb.AppendTo(bytes_);
    ++packets_;
}

}  // namespace qt40::traffic
