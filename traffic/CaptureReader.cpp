#include "traffic/CaptureReader.h"

#include <fstream>
#include <map>
#include <tuple>

#include "files/Utf8Path.h"
#include "traffic/PcapngReader.h"
#include "transport/HartIpHeader.h"

namespace qt40::traffic {
namespace {

constexpr std::uint8_t kUdp = 17;
constexpr std::uint8_t kTcp = 6;

struct Segment {
    Transport transport;
    // Endpoints, to keep TCP streams apart.
    std::uint32_t src = 0, dst = 0;
    std::uint16_t sport = 0, dport = 0;
    std::uint32_t seq = 0;
    bool syn = false;
    std::span<const std::uint8_t> payload;
};

std::uint16_t Be16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] << 8 | b[at + 1]);
}
std::uint32_t Be32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(Be16(b, at)) << 16 | Be16(b, at + 2);
}

// The IPv4 packet inside a frame of the link type, or nothing.
std::span<const std::uint8_t> IpOf(std::uint16_t linkType, std::span<const std::uint8_t> d) {
    std::size_t at = 0;
    std::uint16_t ethertype = 0x0800;
    switch (linkType) {
        case 101:  // raw IP
        case 228:  // IPv4
            break;
        case 1:  // Ethernet, perhaps with VLAN tags
            at = 12;
            if (d.size() < at + 2) return {};
            ethertype = Be16(d, at);
            at += 2;
            while (ethertype == 0x8100 && d.size() >= at + 4) {
                ethertype = Be16(d, at + 2);
                at += 4;
            }
            break;
        case 113:  // Linux cooked capture
            if (d.size() < 16) return {};
            ethertype = Be16(d, 14);
            at = 16;
            break;
        default: return {};
    }
    if (ethertype != 0x0800 || d.size() <= at) return {};
    return d.subspan(at);
}

std::optional<Segment> SegmentOf(std::span<const std::uint8_t> ip) {
    if (ip.size() < 20 || (ip[0] >> 4) != 4) return std::nullopt;
    const std::size_t header = static_cast<std::size_t>(ip[0] & 0x0F) * 4;
    const std::size_t total = Be16(ip, 2);
    if (header < 20 || total < header || total > ip.size()) return std::nullopt;
    if ((Be16(ip, 6) & 0x3FFF) != 0) return std::nullopt;  // a fragment
    const std::uint8_t protocol = ip[9];
    const auto body = ip.subspan(header, total - header);
    Segment s;
    s.src = Be32(ip, 12);
    s.dst = Be32(ip, 16);
    if (protocol == kUdp) {
        if (body.size() < 8) return std::nullopt;
        const std::size_t length = Be16(body, 4);
        if (length < 8 || length > body.size()) return std::nullopt;
        s.transport = Transport::HartIpUdp;
        s.sport = Be16(body, 0);
        s.dport = Be16(body, 2);
        s.payload = body.subspan(8, length - 8);
        return s;
    }
    if (protocol == kTcp) {
        if (body.size() < 20) return std::nullopt;
        const std::size_t offset = static_cast<std::size_t>(body[12] >> 4) * 4;
        if (offset < 20 || offset > body.size()) return std::nullopt;
        s.transport = Transport::HartIpTcp;
        s.sport = Be16(body, 0);
        s.dport = Be16(body, 2);
        s.seq = Be32(body, 4);
        s.syn = (body[13] & 0x02) != 0;
        s.payload = body.subspan(offset);
        return s;
    }
    return std::nullopt;
}

bool LooksLikeHartIp(std::span<const std::uint8_t> bytes) {
    const auto header = DecodeHartIpHeader(bytes);
    if (!header || header->version != kHartIpVersion || header->byteCount < kHartIpHeaderSize) {
        return false;
    }
    const auto type = static_cast<std::uint8_t>(header->type);
    return (type <= 3 || type == 15) && static_cast<std::uint8_t>(header->id) <= 3;
}

// The number after `word` in `text` ("try 2"), or nothing.
std::optional<int> NumberAfter(const std::string& text, const std::string& word) {
    const auto at = text.find(word);
    if (at == std::string::npos) return std::nullopt;
    std::size_t i = at + word.size();
    int n = 0;
    bool any = false;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && n < 100000) {
        n = n * 10 + (text[i++] - '0');
        any = true;
    }
    return any ? std::optional(n) : std::nullopt;
}
// The count before " preamble" ("5 preambles removed").
std::optional<int> PreamblesIn(const std::string& text) {
    const auto at = text.find(" preamble");
    if (at == std::string::npos) return std::nullopt;
    std::size_t i = at;
    while (i > 0 && text[i - 1] >= '0' && text[i - 1] <= '9') --i;
    if (i == at || at - i > 5) return std::nullopt;
    return std::stoi(text.substr(i, at - i));
}

std::optional<Outcome> OutcomeIn(const std::string& comment) {
    for (Outcome o : {Outcome::NoAnswer, Outcome::Incomplete, Outcome::BadChecksum,
                      Outcome::WrongDelimiter, Outcome::OtherCommand, Outcome::PortLost,
                      Outcome::Aborted}) {
        if (comment.find(OutcomeText(o)) != std::string::npos) return o;
    }
    return std::nullopt;
}

// A frame with preambles in front: the frame from its delimiter, and their count.
std::pair<std::vector<std::uint8_t>, int> Frame(std::span<const std::uint8_t> pdu) {
    std::size_t n = 0;
    while (n < pdu.size() && pdu[n] == 0xFF) ++n;
    return {{pdu.begin() + static_cast<std::ptrdiff_t>(n), pdu.end()}, static_cast<int>(n)};
}

class Pairing {
public:
    Pairing(CaptureContents& out, bool serial) : out_(out), serial_(serial) {}

    void Message(Transport transport, std::int64_t us, std::span<const std::uint8_t> message,
                 const std::string& comment) {
        const auto header = DecodeHartIpHeader(message);
        if (!header || header->id != HartIpMessageId::TokenPassingPdu ||
            (header->type != HartIpMessageType::Request &&
             header->type != HartIpMessageType::Response)) {
            ++out_.otherMessages;
            return;
        }
        const auto body = message.subspan(kHartIpHeaderSize);
        auto [frame, preambles] = Frame(body);
        if (auto removed = PreamblesIn(comment)) preambles = *removed;
        const auto key = std::make_pair(transport, header->sequence);
        if (header->type == HartIpMessageType::Request) {
            Exchange e;
            e.transport = serial_ ? Transport::Serial : transport;
            e.sentUs = e.endedUs = us;
            e.request = std::move(frame);
            e.requestPreambles = preambles;
            e.attempt = NumberAfter(comment, "try ").value_or(1);
            e.outcome = OutcomeIn(comment).value_or(Outcome::NoAnswer);
            if (!serial_) e.requestMessage.assign(message.begin(), message.end());
            out_.exchanges.push_back(std::move(e));
            open_[key] = out_.exchanges.size() - 1;
            return;
        }
        const auto found = open_.find(key);
        if (found == open_.end()) {
            ++out_.otherMessages;  // an answer to a request not in the capture
            return;
        }
        Exchange& e = out_.exchanges[found->second];
        open_.erase(found);
        e.endedUs = us;
        e.answer = std::move(frame);
        e.answerPreambles = preambles;
        if (!serial_) e.answerMessage.assign(message.begin(), message.end());
        e.outcome = OutcomeIn(comment).value_or(Outcome::Answered);
    }

private:
    CaptureContents& out_;
    bool serial_;
    std::map<std::pair<Transport, std::uint16_t>, std::size_t> open_;
};

struct Stream {
    std::optional<std::uint32_t> next;  // sequence number expected next
    std::vector<std::uint8_t> pending;  // bytes not yet a whole message
};

}  // namespace

std::optional<CaptureContents> CaptureReader::Read(std::span<const std::uint8_t> bytes,
                                                   std::string& error) {
    const auto pcapng = PcapngReader::Read(bytes, error);
    if (!pcapng) return std::nullopt;
    CaptureContents out;
    out.comments = pcapng->comments;
    out.packets = pcapng->packets.size();
    if (!pcapng->packets.empty()) out.wallClockStartUs = pcapng->packets.front().utcUs;
    bool serial = false;
    for (const std::string& c : out.comments) serial |= c.find("on the serial line") != std::string::npos;
    Pairing pairing(out, serial);
    std::map<std::tuple<std::uint32_t, std::uint32_t, std::uint16_t, std::uint16_t>, Stream> streams;

    for (const PcapngPacket& packet : pcapng->packets) {
        const auto segment = SegmentOf(IpOf(packet.linkType, packet.data));
        if (!segment) continue;
        const std::int64_t us = packet.utcUs - out.wallClockStartUs;
        const bool hartIpPort = segment->sport == kHartIpPort || segment->dport == kHartIpPort;
        if (segment->transport == Transport::HartIpUdp) {
            if (!hartIpPort && !LooksLikeHartIp(segment->payload)) continue;
            // A datagram may carry several messages.
            auto rest = segment->payload;
            while (rest.size() >= kHartIpHeaderSize) {
                const auto header = DecodeHartIpHeader(rest);
                const std::size_t n = header->byteCount;
                if (n < kHartIpHeaderSize || n > rest.size()) break;
                pairing.Message(Transport::HartIpUdp, us, rest.first(n), packet.comment);
                rest = rest.subspan(n);
            }
            continue;
        }
        if (!hartIpPort) continue;
        Stream& stream = streams[{segment->src, segment->dst, segment->sport, segment->dport}];
        if (segment->syn) {
            stream = {segment->seq + 1, {}};
            continue;
        }
        if (segment->payload.empty()) continue;
        std::uint32_t seq = segment->seq;
        auto payload = segment->payload;
        if (stream.next) {
            const auto ahead = static_cast<std::int32_t>(seq - *stream.next);
            if (ahead > 0) {
                stream.pending.clear();  // a gap: start again at the next message
            } else if (ahead < 0) {
                const auto seen = static_cast<std::size_t>(-static_cast<std::int64_t>(ahead));
                if (seen >= payload.size()) continue;  // a retransmission
                payload = payload.subspan(seen);
                seq += static_cast<std::uint32_t>(seen);
            }
        }
        stream.next = seq + static_cast<std::uint32_t>(payload.size());
        stream.pending.insert(stream.pending.end(), payload.begin(), payload.end());
        std::size_t used = 0;
        while (stream.pending.size() - used >= kHartIpHeaderSize) {
            const auto header = DecodeHartIpHeader(std::span(stream.pending).subspan(used));
            const std::size_t n = header->byteCount;
            if (n < kHartIpHeaderSize) {
                used = stream.pending.size();  // not HART-IP after all
                break;
            }
            if (n > stream.pending.size() - used) break;
            pairing.Message(Transport::HartIpTcp, us,
                            std::span(stream.pending).subspan(used, n), packet.comment);
            used += n;
        }
        stream.pending.erase(stream.pending.begin(),
                             stream.pending.begin() + static_cast<std::ptrdiff_t>(used));
    }
    for (std::size_t i = 0; i < out.exchanges.size(); ++i) out.exchanges[i].number = i + 1;
    return out;
}

std::optional<CaptureContents> CaptureReader::ReadFile(const std::filesystem::path& path,
                                                       std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + Utf8FromPath(path);
        return std::nullopt;
    }
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    constexpr std::uintmax_t kLimit = 256u << 20;
    if (!ec && size > kLimit) {
        error = Utf8FromPath(path) + " is larger than 256 MiB";
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "cannot read " + Utf8FromPath(path);
        return std::nullopt;
    }
    auto contents = Read(bytes, error);
    if (!contents) error = Utf8FromPath(path) + ": " + error;
    return contents;
}

}  // namespace qt40::traffic
