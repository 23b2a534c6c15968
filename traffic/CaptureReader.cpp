#include "traffic/CaptureReader.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <tuple>

#include "files/Utf8Path.h"
#include "hart/HartFrame.h"
#include "transport/HartIpHeader.h"

namespace qt40::traffic {
namespace {

constexpr std::uint8_t kUdp = 17;
constexpr std::uint8_t kTcp = 6;
// The interface our own captures of a serial line name.
constexpr std::string_view kSerialInterface = "serial line";

struct Endpoint {
    std::array<std::uint8_t, 16> address{};
    bool v6 = false;
    std::uint16_t port = 0;
    auto operator<=>(const Endpoint&) const = default;
};

std::string AddressText(const Endpoint& e) {
    char text[64];
    if (!e.v6) {
        std::snprintf(text, sizeof text, "%u.%u.%u.%u", e.address[0], e.address[1], e.address[2],
                      e.address[3]);
        return text;
    }
    // Shortest form: the longest run of two or more zero groups as "::".
    std::array<unsigned, 8> g{};
    for (std::size_t i = 0; i < 8; ++i)
        g[i] = static_cast<unsigned>(e.address[2 * i] << 8 | e.address[2 * i + 1]);
    std::size_t bestAt = 8, bestLength = 1;
    for (std::size_t i = 0; i < 8;) {
        std::size_t j = i;
        while (j < 8 && g[j] == 0) ++j;
        if (j - i > bestLength) bestAt = i, bestLength = j - i;
        i = j == i ? i + 1 : j;
    }
    std::string out;
    for (std::size_t i = 0; i < 8; ++i) {
        if (i == bestAt) {
            out += "::";
            i += bestLength - 1;
            continue;
        }
        if (!out.empty() && out.back() != ':') out += ':';
        std::snprintf(text, sizeof text, "%x", g[i]);
        out += text;
    }
    return out;
}

std::string EndpointText(const Endpoint& e) {
    return (e.v6 ? "[" + AddressText(e) + "]" : AddressText(e)) + ":" + std::to_string(e.port);
}

struct Segment {
    Transport transport = Transport::HartIpUdp;
    Endpoint src, dst;
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

enum class Link { Ip, Other, Unknown };

// The IP packet inside a frame of the link type.
Link IpOf(std::uint16_t linkType, std::span<const std::uint8_t> d,
          std::span<const std::uint8_t>& ip) {
    std::size_t at = 0;
    std::uint16_t ethertype = 0;
    switch (linkType) {
        case 12:   // raw IP (some BSDs)
        case 14:   // raw IP (OpenBSD)
        case 101:  // raw IP
        case 228:  // IPv4
        case 229:  // IPv6
            if (d.empty()) return Link::Other;
            ethertype = (d[0] >> 4) == 6 ? 0x86DD : 0x0800;
            break;
        case 0:      // BSD loopback: the address family in the capturing host's byte order
        case 108: {  // OpenBSD loopback: in network byte order
            if (d.size() < 4) return Link::Other;
            std::uint32_t family = Be32(d, 0);
            if (linkType == 0 && family > 0xFF) {
                family = static_cast<std::uint32_t>(d[0]) | static_cast<std::uint32_t>(d[1]) << 8 |
                         static_cast<std::uint32_t>(d[2]) << 16 |
                         static_cast<std::uint32_t>(d[3]) << 24;
            }
            at = 4;
            if (family == 2) {
                ethertype = 0x0800;
            } else if (family == 10 || family == 23 || family == 24 || family == 28 ||
                       family == 30) {
                ethertype = 0x86DD;  // Linux, Windows, and the BSDs' numbers for IPv6
            }
            break;
        }
        case 1:  // Ethernet, perhaps with VLAN tags
            at = 12;
            if (d.size() < at + 2) return Link::Other;
            ethertype = Be16(d, at);
            at += 2;
            while ((ethertype == 0x8100 || ethertype == 0x88A8) && d.size() >= at + 4) {
                ethertype = Be16(d, at + 2);
                at += 4;
            }
            break;
        case 113:  // Linux cooked capture
            if (d.size() < 16) return Link::Other;
            ethertype = Be16(d, 14);
            at = 16;
            break;
        case 276:  // Linux cooked capture v2
            if (d.size() < 20) return Link::Other;
            ethertype = Be16(d, 0);
            at = 20;
            break;
        default:
            return Link::Unknown;
    }
    if ((ethertype != 0x0800 && ethertype != 0x86DD) || d.size() <= at) return Link::Other;
    ip = d.subspan(at);
    return Link::Ip;
}

// The UDP or TCP segment of an IP packet; `fragment` set for a piece of one.
std::optional<Segment> SegmentOf(std::span<const std::uint8_t> ip, bool& fragment) {
    Segment s;
    std::uint8_t protocol = 0;
    std::span<const std::uint8_t> body;
    if (ip.size() >= 20 && (ip[0] >> 4) == 4) {
        const std::size_t header = static_cast<std::size_t>(ip[0] & 0x0F) * 4;
        const std::size_t total = Be16(ip, 2);
        if (header < 20 || total < header || total > ip.size()) return std::nullopt;
        if ((Be16(ip, 6) & 0x3FFF) != 0) {
            fragment = true;
            return std::nullopt;
        }
        protocol = ip[9];
        body = ip.subspan(header, total - header);
        std::copy_n(ip.begin() + 12, 4, s.src.address.begin());
        std::copy_n(ip.begin() + 16, 4, s.dst.address.begin());
    } else if (ip.size() >= 40 && (ip[0] >> 4) == 6) {
        const std::size_t length = Be16(ip, 4);
        if (40 + length > ip.size()) return std::nullopt;
        s.src.v6 = s.dst.v6 = true;
        std::copy_n(ip.begin() + 8, 16, s.src.address.begin());
        std::copy_n(ip.begin() + 24, 16, s.dst.address.begin());
        protocol = ip[6];
        body = ip.subspan(40, length);
        // Extension headers up to the transport.
        for (;;) {
            if (protocol == 44) {
                fragment = true;
                return std::nullopt;
            }
            std::size_t size = 0;
            if (protocol == 0 || protocol == 43 || protocol == 60) {
                if (body.size() < 8) return std::nullopt;
                size = (static_cast<std::size_t>(body[1]) + 1) * 8;
            } else if (protocol == 51) {
                if (body.size() < 8) return std::nullopt;
                size = (static_cast<std::size_t>(body[1]) + 2) * 4;
            } else {
                break;
            }
            if (size > body.size()) return std::nullopt;
            protocol = body[0];
            body = body.subspan(size);
        }
    } else {
        return std::nullopt;
    }
    if (protocol == kUdp) {
        if (body.size() < 8) return std::nullopt;
        const std::size_t length = Be16(body, 4);
        if (length < 8 || length > body.size()) return std::nullopt;
        s.transport = Transport::HartIpUdp;
        s.src.port = Be16(body, 0);
        s.dst.port = Be16(body, 2);
        s.payload = body.subspan(8, length - 8);
        return s;
    }
    if (protocol == kTcp) {
        if (body.size() < 20) return std::nullopt;
        const std::size_t offset = static_cast<std::size_t>(body[12] >> 4) * 4;
        if (offset < 20 || offset > body.size()) return std::nullopt;
        s.transport = Transport::HartIpTcp;
        s.src.port = Be16(body, 0);
        s.dst.port = Be16(body, 2);
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
std::optional<std::uint64_t> NumberAfter(const std::string& text, const std::string& word) {
    const auto at = text.find(word);
    if (at == std::string::npos) return std::nullopt;
    std::size_t i = at + word.size();
    std::uint64_t n = 0;
    bool any = false;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && n < 1'000'000'000'000ull) {
        n = n * 10 + static_cast<std::uint64_t>(text[i++] - '0');
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
// The wait in "no answer after 629.2 ms", in microseconds.
std::optional<std::int64_t> WaitIn(const std::string& text) {
    const auto at = text.find(" after ");
    if (at == std::string::npos) return std::nullopt;
    std::size_t i = at + 7;
    std::int64_t whole = 0;
    int digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 12) {
        whole = whole * 10 + (text[i++] - '0');
        ++digits;
    }
    if (digits == 0) return std::nullopt;
    std::int64_t us = whole * 1000;
    if (i < text.size() && text[i] == '.') {
        std::int64_t scale = 100;
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            us += (text[i] - '0') * scale;
            scale /= 10;
        }
    }
    if (text.compare(i, 3, " ms") != 0) return std::nullopt;
    return us;
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
    const std::size_t n = HartFrame::PreamblesIn(pdu);
    return {{pdu.begin() + static_cast<std::ptrdiff_t>(n), pdu.end()}, static_cast<int>(n)};
}

struct Message {
    Transport transport;  // Serial for our own captures of a serial line
    Endpoint src, dst;
    std::int64_t us = 0;
    std::span<const std::uint8_t> bytes;
    const std::string* comment = nullptr;
};

class Pairing {
public:
    explicit Pairing(CaptureContents& out) : out_(out) {}

    void Take(const Message& m) {
        const auto header = DecodeHartIpHeader(m.bytes);
        if (!header) {
            ++out_.otherMessages;
            return;
        }
        const bool request = header->type == HartIpMessageType::Request;
        const bool serial = m.transport == Transport::Serial;
        const std::string& comment = *m.comment;
        // The host's end first, whichever way the message went.
        const Key key{m.transport, request ? m.src : m.dst, request ? m.dst : m.src,
                      header->sequence};
        const bool said = comment.find("; session message") != std::string::npos;
        // A refusal of a request we hold ends that exchange.
        if (!said && header->id == HartIpMessageId::TokenPassingPdu &&
            (header->type == HartIpMessageType::Error || header->type == HartIpMessageType::Nak)) {
            if (const auto found = open_.find(key); found != open_.end()) {
                Exchange& e = out_.exchanges[found->second];
                open_.erase(found);
                e.endedUs = m.us;
                e.answerMessage.assign(m.bytes.begin(), m.bytes.end());
                e.outcome = OutcomeIn(comment).value_or(Outcome::NoAnswer);
                return;
            }
        }
        // The session's own messages, refusals, publish messages, and what
        // we recorded as answering no request: shown alone, never paired.
        if (header->id != HartIpMessageId::TokenPassingPdu ||
            (!request && header->type != HartIpMessageType::Response) ||
            said) {
            Exchange e;
            e.sessionMessage = true;
            e.transport = m.transport;
            e.sentUs = e.endedUs = m.us;
            e.outcome = Outcome::Answered;
            e.number = NumberOf(comment, false, header->sequence);
            e.endpoints = EndpointText(m.src) + " to " + EndpointText(m.dst);
            (request ? e.requestMessage : e.answerMessage).assign(m.bytes.begin(), m.bytes.end());
            out_.exchanges.push_back(std::move(e));
            return;
        }
        const auto body = m.bytes.subspan(kHartIpHeaderSize);
        auto [frame, preambles] = Frame(body);
        if (auto removed = PreamblesIn(comment)) preambles = *removed;
        if (request) {
            Exchange e;
            e.transport = m.transport;
            e.sentUs = e.endedUs = m.us;
            e.request = std::move(frame);
            e.requestPreambles = preambles;
            e.attempt = static_cast<int>(
                std::min<std::uint64_t>(NumberAfter(comment, "try ").value_or(1), 1000000));
            e.outcome = OutcomeIn(comment).value_or(Outcome::NoAnswer);
            if (e.outcome != Outcome::Answered) {
                if (const auto wait = WaitIn(comment)) e.endedUs = e.sentUs + *wait;
            }
            e.number = NumberOf(comment, serial, header->sequence);
            if (!serial) {
                e.requestMessage.assign(m.bytes.begin(), m.bytes.end());
                e.endpoints = EndpointText(m.src) + " to " + EndpointText(m.dst);
            }
            out_.exchanges.push_back(std::move(e));
            open_[key] = out_.exchanges.size() - 1;
            return;
        }
        const auto found = open_.find(key);
        if (found == open_.end()) {
            ++out_.unpairedAnswers;
            return;
        }
        Exchange& e = out_.exchanges[found->second];
        open_.erase(found);
        e.endedUs = m.us;
        e.answer = std::move(frame);
        e.answerPreambles = preambles;
        if (!serial) e.answerMessage.assign(m.bytes.begin(), m.bytes.end());
        e.outcome = OutcomeIn(comment).value_or(Outcome::Answered);
    }

private:
    using Key = std::tuple<Transport, Endpoint, Endpoint, std::uint16_t>;

    // The number the exchange was recorded under: said in our comments, the
    // sequence number in older captures of a serial line, else the next.
    std::uint64_t NumberOf(const std::string& comment, bool serial, std::uint16_t sequence) {
        std::uint64_t n = last_ + 1;
        if (const auto said = NumberAfter(comment, "exchange ")) {
            n = *said;
        } else if (serial) {
            n = (last_ & ~std::uint64_t{0xFFFF}) | sequence;
            if (n <= last_) n += 0x10000;
        }
        last_ = n;
        return n;
    }

    CaptureContents& out_;
    std::map<Key, std::size_t> open_;
    std::uint64_t last_ = 0;
};

struct Stream {
    std::optional<bool> hartIp;         // decided by the port or the first bytes
    std::optional<std::uint32_t> next;  // sequence number expected next
    std::vector<std::uint8_t> pending;  // bytes not yet a whole message
};

using StreamKey = std::pair<Endpoint, Endpoint>;

}  // namespace

std::vector<std::string> CaptureContents::NotRead() const {
    std::vector<std::string> lines;
    const auto add = [&](std::size_t n, const std::string& one, const std::string& many) {
        if (n) lines.push_back(std::to_string(n) + " " + (n == 1 ? one : many));
    };
    add(notHartIp, "packet holds no HART-IP (other traffic)",
        "packets hold no HART-IP (other traffic)");
    for (const auto& [type, n] : unreadLinkTypes) {
        add(n, "packet of link type " + std::to_string(type) + " not read",
            "packets of link type " + std::to_string(type) + " not read");
    }
    if (!unreadLinkTypes.empty()) {
        lines.push_back("(read are Ethernet, raw IP, Linux cooked and loopback captures)");
    }
    add(fragments, "IP fragment not put together", "IP fragments not put together");
    add(streamGaps, "gap in a TCP stream: messages lost there are not shown",
        "gaps in TCP streams: messages lost there are not shown");
    add(otherMessages, "HART-IP message too short for its header",
        "HART-IP messages too short for their header");
    add(unpairedAnswers, "answer to a request the capture does not hold",
        "answers to requests the capture does not hold");
    return lines;
}

std::string CaptureContents::DamageText() const {
    if (!Damaged()) return {};
    std::string text = std::to_string(damagedBlocks) +
                       (damagedBlocks == 1 ? " damaged block: " : " damaged blocks: ");
    for (std::size_t i = 0; i < damage.size(); ++i) text += (i ? "; " : "") + damage[i];
    if (damage.size() < damagedBlocks) text += "; …";
    return text;
}

std::optional<CaptureContents> CaptureReader::Read(PcapngReader& reader, std::string& error) {
    if (!reader.Open()) {
        error = reader.Error();
        return std::nullopt;
    }
    CaptureContents out;
    Pairing pairing(out);
    std::map<StreamKey, Stream> streams;
    PcapngPacket packet;
    bool first = true;
    while (reader.Next(packet)) {
        ++out.packets;
        if (first) {
            out.wallClockStartUs = packet.utcUs;
            first = false;
        }
        std::span<const std::uint8_t> ip;
        const Link link = IpOf(packet.linkType, packet.data, ip);
        if (link == Link::Unknown) {
            ++out.unreadLinkTypes[packet.linkType];
            continue;
        }
        bool fragment = false;
        const auto segment = link == Link::Ip ? SegmentOf(ip, fragment) : std::nullopt;
        if (!segment) {
            ++(fragment ? out.fragments : out.notHartIp);
            continue;
        }
        const bool serial =
            packet.interfaceName == kSerialInterface || packet.comment.rfind("serial:", 0) == 0;
        Message m;
        m.src = segment->src;
        m.dst = segment->dst;
        m.us = packet.utcUs - out.wallClockStartUs;
        m.comment = &packet.comment;
        const bool hartIpPort =
            segment->src.port == kHartIpPort || segment->dst.port == kHartIpPort;
        if (segment->transport == Transport::HartIpUdp) {
            if (!hartIpPort && !LooksLikeHartIp(segment->payload)) {
                ++out.notHartIp;
                continue;
            }
            m.transport = serial ? Transport::Serial : Transport::HartIpUdp;
            // A datagram may carry several messages.
            auto rest = segment->payload;
            while (rest.size() >= kHartIpHeaderSize) {
                const std::size_t n = DecodeHartIpHeader(rest)->byteCount;
                if (n < kHartIpHeaderSize || n > rest.size()) break;
                m.bytes = rest.first(n);
                pairing.Take(m);
                rest = rest.subspan(n);
            }
            continue;
        }
        Stream& stream = streams[{segment->src, segment->dst}];
        if (hartIpPort) stream.hartIp = true;
        if (segment->syn) {
            stream.next = segment->seq + 1;
            stream.pending.clear();
            continue;
        }
        if (segment->payload.empty()) continue;
        // A stream on another port is HART-IP when it starts as HART-IP does.
        if (!stream.hartIp) stream.hartIp = LooksLikeHartIp(segment->payload);
        if (!*stream.hartIp) {
            ++out.notHartIp;
            continue;
        }
        std::uint32_t seq = segment->seq;
        auto payload = segment->payload;
        if (stream.next) {
            const auto ahead = static_cast<std::int32_t>(seq - *stream.next);
            if (ahead > 0) {
                ++out.streamGaps;
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
        m.transport = Transport::HartIpTcp;
        std::size_t used = 0;
        while (stream.pending.size() - used >= kHartIpHeaderSize) {
            const std::size_t n =
                DecodeHartIpHeader(std::span(stream.pending).subspan(used))->byteCount;
            if (n < kHartIpHeaderSize) {
                used = stream.pending.size();  // not HART-IP after all
                break;
            }
            if (n > stream.pending.size() - used) break;
            m.bytes = std::span(stream.pending).subspan(used, n);
            pairing.Take(m);
            used += n;
        }
        stream.pending.erase(stream.pending.begin(),
                             stream.pending.begin() + static_cast<std::ptrdiff_t>(used));
    }
    out.comments = reader.Comments();
    out.damagedBlocks = reader.DamagedBlocks();
    out.damage = reader.Damage();
    if (!reader.Error().empty()) {
        error = reader.Error();
        return std::nullopt;
    }
    return out;
}

std::optional<CaptureContents> CaptureReader::Read(std::span<const std::uint8_t> bytes,
                                                   std::string& error) {
    std::size_t at = 0;
    PcapngReader reader([&](std::uint8_t* into, std::size_t n) -> std::optional<std::size_t> {
        const std::size_t take = std::min(n, bytes.size() - at);
        if (take) std::memcpy(into, bytes.data() + at, take);
        at += take;
        return take;
    });
    return Read(reader, error);
}

std::optional<CaptureContents> CaptureReader::ReadFile(const std::filesystem::path& path,
                                                       std::string& error, std::uint64_t limit) {
    const std::string name = Utf8FromPath(path);
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (std::filesystem::is_directory(status)) {
        error = name + " is a folder, not a capture";
        return std::nullopt;
    }
    if (std::filesystem::is_regular_file(status)) {
        const auto size = std::filesystem::file_size(path, ec);
        if (!ec && size > limit) {
            error = name + " is larger than " + std::to_string(limit >> 20) + " MiB";
            return std::nullopt;
        }
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + name + (errno ? ": " + std::string(std::strerror(errno)) : "");
        return std::nullopt;
    }
    int readErrno = 0;
    PcapngReader reader(
        [&](std::uint8_t* into, std::size_t n) -> std::optional<std::size_t> {
            try {
                errno = 0;
                in.read(reinterpret_cast<char*>(into), static_cast<std::streamsize>(n));
                if (in.bad()) {
                    readErrno = errno;
                    return std::nullopt;
                }
                return static_cast<std::size_t>(in.gcount());
            } catch (const std::exception&) {
                readErrno = errno;
                return std::nullopt;
            }
        },
        limit);
    auto contents = Read(reader, error);
    if (!contents) {
        error = name + ": " + error +
                (readErrno ? " (" + std::string(std::strerror(readErrno)) + ")" : "");
    }
    return contents;
}

}  // namespace qt40::traffic
