// Captures from other programs and from hostile hands: damaged files are
// said to be damaged and where, nothing is read past a bound whatever the
// source, foreign link types and IPv6 are read, and answers go with the
// request of their own endpoints.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "hart/FrameCodec.h"
#include "tests/traffic/PcapngBuild.h"
#include "traffic/CaptureReader.h"
#include "traffic/CaptureWriter.h"
#include "traffic/ExchangeText.h"
#include "transport/HartIpHeader.h"

namespace qt40::traffic {
namespace {

using namespace test;

const Host kHost{{192, 0, 2, 1}, 49152};
const Host kDevice{{192, 0, 2, 2}, 5094};

// A HART-IP token-passing message of `type` with sequence `seq` around a command-0 frame.
Bytes Pdu(HartIpMessageType type, std::uint16_t seq, std::uint8_t deviceByte = 0) {
    HartIpHeader h;
    h.type = type;
    h.sequence = seq;
    Bytes frame = type == HartIpMessageType::Request
                      ? Bytes{0x02, 0x80, 0x00, 0x00}
                      : Bytes{0x06, 0x80, 0x00, 0x03, 0x00, 0x00, deviceByte};
    std::uint8_t sum = 0;
    for (auto b : frame) sum ^= b;
    frame.push_back(sum);
    return HartIpMessage(h, frame);
}

Bytes Udp(const Host& a, const Host& b, const Bytes& payload) {
    return IpPacket(17, a, b, payload);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// One request and its answer on raw IP: a clean file to spoil.
Bytes CleanFile() {
    return Concat({SectionHeader("clean"), InterfaceBlock(101),
                   PacketBlock(0, 1'700'000'000'000'000,
                               Udp(kHost, kDevice, Pdu(HartIpMessageType::Request, 1))),
                   PacketBlock(0, 1'700'000'000'010'000,
                               Udp(kDevice, kHost, Pdu(HartIpMessageType::Response, 1)))});
}

TEST(ForeignCaptureTest, DamagedFilesSayHowManyBlocksAndWhere) {
    const Bytes clean = CleanFile();
    const std::size_t lastPacket =
        clean.size() -
        PacketBlock(0, 0, Udp(kDevice, kHost, Pdu(HartIpMessageType::Response, 1))).size();
    const Bytes request = PacketBlock(0, 1'700'000'000'000'000,
                                      Udp(kHost, kDevice, Pdu(HartIpMessageType::Request, 2)));
    Bytes swapped = request;  // a block in the other byte order
    for (std::size_t i = 0; i + 4 <= swapped.size(); i += 4)
        std::reverse(swapped.begin() + static_cast<std::ptrdiff_t>(i),
                     swapped.begin() + static_cast<std::ptrdiff_t>(i) + 4);
    Bytes random(64);
    for (std::size_t i = 0; i < random.size(); ++i)
        random[i] = static_cast<std::uint8_t>(i * 37 + 11);

    struct Case {
        const char* name;
        Bytes file;
        std::size_t exchanges;  // still read
        std::size_t damagedAt;  // the byte the first damage names
        const char* says;
    };
    Bytes huge = clean;
    huge[lastPacket + 4] = 0x00, huge[lastPacket + 5] = 0x00, huge[lastPacket + 6] = 0x00,
                      huge[lastPacket + 7] = 0x80;
    Bytes captured = clean;
    std::memset(captured.data() + lastPacket + 20, 0xFF, 4);
    Bytes undefined = clean;
    undefined[lastPacket + 8] = 7;
    const std::vector<Case> cases = {
        {"a packet block claiming 2 GB", huge, 1, lastPacket, "bytes, past the 256 MiB"},
        {"a captured length of 0xFFFFFFFF", Concat({captured, request}), 2, lastPacket,
         "a packet of 4294967295 bytes"},
        {"a packet of an undefined interface", Concat({undefined, request}), 2, lastPacket,
         "interface 7, which the section does not define"},
        {"a block in the other byte order", Concat({clean, swapped, request}), 1, clean.size(),
         "perhaps in the other byte order, past the 256 MiB"},
        {"random bytes after the header", Concat({SectionHeader(), random}), 0, 28, ""},
        {"a file cut in the middle of a packet", Bytes(clean.begin(), clean.end() - 9), 1,
         lastPacket, "the file ends"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        const auto read = CaptureReader::Read(c.file, error);
        ASSERT_TRUE(read) << error;
        EXPECT_TRUE(read->Damaged());
        EXPECT_EQ(read->exchanges.size(), c.exchanges);
        ASSERT_FALSE(read->damage.empty());
        EXPECT_EQ(read->damage[0].rfind("at byte " + std::to_string(c.damagedAt) + ": ", 0), 0u)
            << read->damage[0];
        EXPECT_NE(read->damage[0].find(c.says), std::string::npos) << read->damage[0];
        EXPECT_NE(read->DamageText().find("damaged block"), std::string::npos);
    }

    // Whole files are not damaged; an empty one has no time to show.
    std::string error;
    EXPECT_FALSE(CaptureReader::Read(clean, error)->Damaged());
    const auto empty = CaptureReader::Read(Concat({SectionHeader(), InterfaceBlock(101)}), error);
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty->Damaged());
    EXPECT_EQ(empty->packets, 0u);
    // A classic pcap file is named, with the way to convert it.
    Bytes pcap{0xD4, 0xC3, 0xB2, 0xA1, 2, 0, 4, 0};
    pcap.resize(24);
    EXPECT_FALSE(CaptureReader::Read(pcap, error));
    EXPECT_NE(error.find("editcap -F pcapng"), std::string::npos) << error;
}

// Bytes without end, as a pipe or /dev/zero gives them: the magic is checked
// first, and no more than the limit is read of a file that goes on.
TEST(ForeignCaptureTest, NoSourceIsReadPastTheMagicOrTheLimit) {
    std::uint64_t given = 0;
    PcapngReader zeros([&](std::uint8_t* into, std::size_t n) -> std::optional<std::size_t> {
        std::memset(into, 0, n);
        given += n;
        return n;
    });
    EXPECT_FALSE(zeros.Open());
    EXPECT_EQ(zeros.Error(), "not a pcapng file");
    EXPECT_LE(given, 4u);

    // A header, then the same packet for ever.
    const Bytes head = Concat({SectionHeader(), InterfaceBlock(101)});
    const Bytes packet = PacketBlock(0, 1, Udp(kHost, kDevice, Pdu(HartIpMessageType::Request, 1)));
    given = 0;
    constexpr std::uint64_t kLimit = 1 << 20;
    PcapngReader endless(
        [&](std::uint8_t* into, std::size_t n) -> std::optional<std::size_t> {
            for (std::size_t i = 0; i < n; ++i, ++given) {
                into[i] = given < head.size() ? head[given]
                                              : packet[(given - head.size()) % packet.size()];
            }
            return n;
        },
        kLimit);
    std::string error;
    const auto read = CaptureReader::Read(endless, error);
    ASSERT_TRUE(read) << error;
    EXPECT_LE(given, kLimit + 12);
    EXPECT_TRUE(read->Damaged());
    EXPECT_GT(read->exchanges.size(), 1000u);
    EXPECT_NE(read->DamageText().find("past the 1 MiB"), std::string::npos) << read->DamageText();
}

// Two gateways numbering from 1 (as a fleet makes them), over UDP on their
// own ports, over TCP on a port other than 5094, over IPv6 and behind the
// BSD loopback header: every answer under its own request.
TEST(ForeignCaptureTest, AnswersGoWithTheRequestOfTheirOwnEndpoints) {
    const Bytes v6a(16, 0), v6b = [] {
        Bytes b(16, 0);
        b[15] = 1;
        return b;
    }();
    struct Case {
        const char* name;
        std::uint16_t linkType;
        std::uint8_t protocol;
        Host host1, gateway1, host2, gateway2;
        const char* endpoints1;
    };
    const std::vector<Case> cases = {
        {"UDP, two ports",
         101,
         17,
         {{127, 0, 0, 1}, 40001},
         {{127, 0, 0, 1}, 20001},
         {{127, 0, 0, 1}, 40002},
         {{127, 0, 0, 1}, 20002},
         "127.0.0.1:40001 to 127.0.0.1:20001"},
        {"TCP on other ports, BSD loopback",
         0,
         6,
         {{127, 0, 0, 1}, 40001},
         {{127, 0, 0, 1}, 20001},
         {{127, 0, 0, 1}, 40002},
         {{127, 0, 0, 1}, 20002},
         "127.0.0.1:40001 to 127.0.0.1:20001"},
        {"TCP over IPv6, BSD loopback",
         0,
         6,
         {v6b, 40001},
         {v6b, 5094},
         {v6b, 40002},
         {v6a, 5094},
         "[::1]:40001 to [::1]:5094"},
        {"UDP over IPv6 on Ethernet",
         1,
         17,
         {v6b, 40001},
         {v6b, 5094},
         {v6b, 40002},
         {v6a, 5094},
         "[::1]:40001 to [::1]:5094"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto wrap = [&](const Bytes& ip) {
            Bytes frame;
            if (c.linkType == 0) {
                Le32(frame, ip[0] >> 4 == 6 ? 30 : 2);  // the capturing host's order
            } else if (c.linkType == 1) {
                frame.assign(12, 0);
                Be16(frame, ip[0] >> 4 == 6 ? 0x86DD : 0x0800);
            }
            frame.insert(frame.end(), ip.begin(), ip.end());
            return frame;
        };
        std::uint32_t seq1 = 1000, seq2 = 5000, back1 = 9000, back2 = 7000;
        const auto send = [&](const Host& a, const Host& b, const Bytes& m, std::uint32_t& seq) {
            const Bytes ip = IpPacket(c.protocol, a, b, m, seq);
            seq += static_cast<std::uint32_t>(m.size());
            return wrap(ip);
        };
        // Both send sequence 1 first; the second gateway answers first.
        Bytes file = Concat({SectionHeader(), InterfaceBlock(c.linkType)});
        std::uint64_t us = 1'700'000'000'000'000;
        for (const Bytes& p :
             {send(c.host1, c.gateway1, Pdu(HartIpMessageType::Request, 1), seq1),
              send(c.host2, c.gateway2, Pdu(HartIpMessageType::Request, 1), seq2),
              send(c.gateway2, c.host2, Pdu(HartIpMessageType::Response, 1, 2), back2),
              send(c.gateway1, c.host1, Pdu(HartIpMessageType::Response, 1, 1), back1)}) {
            const Bytes block = PacketBlock(0, us += 1000, p);
            file.insert(file.end(), block.begin(), block.end());
        }
        std::string error;
        const auto read = CaptureReader::Read(file, error);
        ASSERT_TRUE(read) << error;
        EXPECT_FALSE(read->Damaged());
        ASSERT_EQ(read->exchanges.size(), 2u);
        EXPECT_TRUE(read->NotRead().empty()) << read->NotRead().front();
        for (std::size_t i = 0; i < 2; ++i) {
            const Exchange& e = read->exchanges[i];
            EXPECT_EQ(e.outcome, Outcome::Answered);
            ASSERT_EQ(e.answer.size(), 8u);
            EXPECT_EQ(e.answer[6], i + 1) << "the answer of the other gateway";
        }
        EXPECT_EQ(read->exchanges[0].endpoints, c.endpoints1);
        EXPECT_NE(DetailLines(read->exchanges[0])[0].find(c.endpoints1), std::string::npos);
    }

    // What is not read is said: a link type of its own, other traffic.
    Bytes other = Concat(
        {SectionHeader(), InterfaceBlock(147), InterfaceBlock(101),
         PacketBlock(0, 1, Bytes{1, 2, 3}),
         PacketBlock(1, 2, IpPacket(6, kHost, {{192, 0, 2, 2}, 80}, Bytes{'G', 'E', 'T', ' '}))});
    std::string error;
    const auto read = CaptureReader::Read(other, error);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->NotRead(),
              (std::vector<std::string>{
                  "1 packet holds no HART-IP (other traffic)", "1 packet of link type 147 not read",
                  "(read are Ethernet, raw IP, Linux cooked and loopback captures)"}));
}

// The number each exchange was recorded under, the wait of an unanswered
// one, a filtered capture of a serial line and of HART-IP alike.
TEST(ForeignCaptureTest, NumbersAndWaitsReadBackAsRecorded) {
    for (Transport transport : {Transport::Serial, Transport::HartIpUdp, Transport::HartIpTcp}) {
        SCOPED_TRACE(std::string(TransportText(transport)));
        CaptureWriter writer({"x", 1'700'000'000'000'000, 0, "test"}, transport);
        const std::vector<std::uint64_t> numbers = {5, 6, 9, 70000};
        for (std::size_t i = 0; i < numbers.size(); ++i) {
            Exchange e;
            e.number = numbers[i];
            e.transport = transport;
            e.sentUs = static_cast<std::int64_t>(i) * 1'000'000;
            e.request = {0x02, 0x80, 0x00, 0x00, 0x82};
            if (i == 1) {
                e.outcome = Outcome::NoAnswer;
                e.endedUs = e.sentUs + 629'200;
            } else {
                e.outcome = Outcome::Answered;
                e.endedUs = e.sentUs + 12'000;
                e.answer = {0x06, 0x80, 0x00, 0x02, 0x00, 0x00, 0x84};
            }
            if (transport != Transport::Serial) {
                HartIpHeader h;
                h.sequence = static_cast<std::uint16_t>(i + 1);
                e.requestMessage = HartIpMessage(h, e.request);
                h.type = HartIpMessageType::Response;
                if (!e.answer.empty()) e.answerMessage = HartIpMessage(h, e.answer);
            }
            writer.Add(e);
        }
        std::string error;
        const auto read = CaptureReader::Read(writer.Finish(), error);
        ASSERT_TRUE(read) << error;
        ASSERT_EQ(read->exchanges.size(), numbers.size());
        for (std::size_t i = 0; i < numbers.size(); ++i)
            EXPECT_EQ(read->exchanges[i].number, numbers[i]);
        const Exchange& lost = read->exchanges[1];
        EXPECT_EQ(lost.outcome, Outcome::NoAnswer);
        EXPECT_EQ(lost.endedUs - lost.sentUs, 629'200);
        EXPECT_NE(DetailLines(lost)[0].find("no answer after 629.2 ms"), std::string::npos)
            << DetailLines(lost)[0];
        EXPECT_EQ(DetailLines(lost)[0].rfind("Exchange 6, ", 0), 0u);
    }
}

}  // namespace
}  // namespace qt40::traffic
