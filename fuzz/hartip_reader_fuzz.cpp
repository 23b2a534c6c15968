// What a hostile HART-IP peer can send: a TCP byte stream cut into reads of
// any size, or datagrams of any length. The stream reader must hand out
// exactly the messages the bytes hold, each within the limits, the same
// whatever the cuts; every datagram is one message or nothing; the answer
// check takes only a whole slave frame of the asked command.
//
// Input: byte 0 picks stream or datagrams and the sequence number waited
// for; byte 1 seeds the read sizes; the rest is what the peer sends. For
// datagrams, each datagram is a length byte and that many bytes.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "hart/HartFrame.h"
#include "transport/HartIpReader.h"
#include "transport/HartIpReply.h"

namespace {

using namespace qt40;

void Check(bool ok) {
    if (!ok) std::abort();
}

// What a client does with each message while a request for `command` waits.
void Judge(const HartIpReceived& m, std::uint16_t sequence, std::uint8_t command) {
    Check(m.header.byteCount >= kHartIpHeaderSize && m.header.byteCount <= kHartIpMaxMessageSize);
    Check(m.body.size() == m.header.byteCount - kHartIpHeaderSize);
    const HartIpHeader sent{1, HartIpMessageType::Request, HartIpMessageId::TokenPassingPdu, 0, sequence, 0};
    const HartIpReply reply = JudgeHartIpReply(sent, m);
    if (reply.kind == HartIpReplyKind::Answer) Check(m.header.sequence == sequence);
    const auto frame = HartAnswerFrame(m.body, command);
    if (frame.empty()) return;
    Check(frame.data() >= m.body.data() && frame.data() + frame.size() == m.body.data() + m.body.size());
    const ParsedFrame parsed = HartFrame::Parse(frame);
    Check(parsed.Sound() && parsed.preambles == 0 && parsed.trailing == 0);
    Check(parsed.frame.Kind() == FrameKind::Answer && parsed.frame.Command() == command);
}

std::vector<HartIpReceived> ReadAll(HartIpStreamReader& reader) {
    std::vector<HartIpReceived> out;
    while (auto m = reader.Next()) out.push_back(std::move(*m));
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const bool datagrams = data[0] & 1;
    const std::uint16_t sequence = data[0] >> 1;
    const std::uint8_t command = data[1];
    std::uint32_t seed = data[1] * 2654435761u + 1;
    const std::span<const std::uint8_t> peer(data + 2, size - 2);

    if (datagrams) {
        std::size_t i = 0;
        while (i < peer.size()) {
            const std::size_t n = std::min<std::size_t>(peer[i], peer.size() - i - 1);
            const auto datagram = peer.subspan(i + 1, n);
            i += 1 + n;
            HartIpReadFault fault = HartIpReadFault::None;
            const auto m = ParseHartIpDatagram(datagram, &fault);
            Check(m.has_value() == (fault == HartIpReadFault::None));
            if (!m) continue;
            Check(m->header.byteCount == datagram.size());
            Judge(*m, sequence, command);
        }
        return 0;
    }

    // The whole stream at once, and again in reads of varying size.
    HartIpStreamReader whole;
    const bool wholeOk = whole.Feed(peer);
    const auto expected = ReadAll(whole);
    HartIpStreamReader cut;
    std::vector<HartIpReceived> got;
    bool cutOk = true;
    std::size_t i = 0;
    while (i < peer.size()) {
        seed = seed * 1103515245u + 12345u;
        const std::size_t n = std::min<std::size_t>(1 + (seed >> 16) % 300, peer.size() - i);
        cutOk = cut.Feed(peer.subspan(i, n)) && cutOk;
        i += n;
        for (auto& m : ReadAll(cut)) got.push_back(std::move(m));
        Check(cut.Pending() < kHartIpMaxMessageSize);
    }
    Check(wholeOk == cutOk && whole.Fault() == cut.Fault());
    Check(got.size() == expected.size());
    // The messages are the stream's bytes, in order, nothing left out between them.
    std::size_t at = 0;
    for (std::size_t k = 0; k < got.size(); ++k) {
        Check(got[k].header == expected[k].header && got[k].body == expected[k].body);
        const auto wire = HartIpMessage(got[k].header, got[k].body);
        Check(at + wire.size() <= peer.size());
        Check(std::equal(wire.begin(), wire.end(), peer.begin() + static_cast<std::ptrdiff_t>(at)));
        at += wire.size();
        Judge(got[k], sequence, command);
    }
    if (cutOk) Check(cut.Pending() == peer.size() - at);
    return 0;
}
