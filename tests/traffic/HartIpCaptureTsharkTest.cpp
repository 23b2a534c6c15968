// Captures of HART-IP messages over UDP and over a synthesized TCP connection,
// judged by tshark: every message decoded as HART-IP, the TCP analysis
// content, the commands in the order written.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "hart/FrameCodec.h"
#include "model/DeviceRecord.h"
#include "sim/SimDevice.h"
#include "tests/traffic/Tshark.h"
#include "traffic/CaptureReader.h"
#include "traffic/CaptureWriter.h"
#include "transport/HartIpHeader.h"

namespace qt40::traffic {
namespace {

using namespace test;
using Bytes = std::vector<std::uint8_t>;

Bytes Request(std::uint8_t command, const std::array<std::uint8_t, 5>& address) {
    HartLink l;
    l.command = command;
    l.longAddress = address;
    Bytes frame(kMaxFrameSize);
    frame.resize(BuildRequestFrame(l, frame));
    return frame;
}

TEST(HartIpCaptureTsharkTest, UdpAndTcpCapturesAreCleanHartIp) {
    ASSERT_TRUE(TsharkInstalled()) << "tshark is missing: ./dev test installs it";
    sim::SimDevice device;
    HartLink identity;
    auto first = device.Handle(Request(0, {}))->bytes;
    first.erase(first.begin(), first.begin() + 5);
    ASSERT_TRUE(DecodeResponseFrame(identity, first));
    DeviceRecord record;
    DecodeIdentity(identity, record);

    const std::vector<std::uint8_t> commands{0, 13, 3, 2, 48, 15, 14, 3, 2, 48};
    for (Transport transport : {Transport::HartIpUdp, Transport::HartIpTcp}) {
        SCOPED_TRACE(std::string(TransportText(transport)));
        CaptureWriter writer({"hartip://192.168.1.20", 1'700'000'000'000'000, 0, "test"}, transport);
        std::uint16_t sequence = 1;
        for (std::size_t i = 0; i < commands.size(); ++i) {
            Exchange e;
            e.number = i + 1;
            e.transport = transport;
            e.sentUs = static_cast<std::int64_t>(i) * 100'000;
            e.endedUs = e.sentUs + 20'000;
            const Bytes frame = Request(commands[i], identity.longAddress);
            e.request.assign(frame.begin() + 5, frame.end());
            auto reply = device.Handle(frame)->bytes;
            while (reply.front() == 0xFF) reply.erase(reply.begin());
            e.answer = reply;
            e.outcome = Outcome::Answered;
            HartIpHeader header;
            header.sequence = sequence++;
            e.requestMessage = HartIpMessage(header, e.request);
            header.type = HartIpMessageType::Response;
            e.answerMessage = HartIpMessage(header, e.answer);
            writer.Add(e);
        }
        const Bytes bytes = writer.Finish();
        const auto path = std::filesystem::temp_directory_path() /
                          ("qt40-hartip-" + std::string(TransportText(transport)).substr(8) + ".pcapng");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));

        EXPECT_EQ(Tshark(path.string(), kFaultFilter), "");
        const auto messages = Lines(Tshark(path.string(), "-Y hart_ip -T fields -e _ws.col.Protocol"));
        EXPECT_EQ(messages.size(), 2 * commands.size());
        for (const auto& p : messages) EXPECT_EQ(p, "HART_IP");
        std::vector<std::string> expected;
        for (std::uint8_t c : commands) expected.push_back(std::to_string(c));
        EXPECT_EQ(Lines(Tshark(path.string(),
                               "-Y 'hart_ip.message_type == 0' -T fields -e hart_ip.pt.command")),
                  expected);
        if (transport == Transport::HartIpTcp) {
            // One connection, opened and closed in order.
            EXPECT_EQ(Lines(Tshark(path.string(), "-Y 'tcp.flags.syn == 1' -T fields -e tcp.stream")).size(), 2u);
            EXPECT_EQ(Lines(Tshark(path.string(), "-Y 'tcp.flags.fin == 1' -T fields -e tcp.stream")).size(), 2u);
        }
        std::filesystem::remove(path);
    }
}

// A capture of a serial line and one of a gateway, merged by Wireshark's
// mergecap into one file: each exchange keeps the transport it went over.
TEST(HartIpCaptureTsharkTest, AMergeOfASerialAndAHartIpCaptureKeepsEachTransport) {
    ASSERT_EQ(std::system("mergecap -h >/dev/null 2>&1"), 0)
        << "mergecap is missing: ./dev test installs tshark";
    const auto dir = std::filesystem::temp_directory_path();
    const Bytes frame = Request(0, {});
    const auto write = [&](Transport transport, const std::string& name, std::int64_t startUs) {
        CaptureWriter writer({"x", startUs, 0, "test"}, transport);
        for (std::uint64_t n = 1; n <= 2; ++n) {
            Exchange e;
            e.number = n;
            e.transport = transport;
            e.sentUs = static_cast<std::int64_t>(n) * 100'000;
            e.endedUs = e.sentUs + 20'000;
            e.request.assign(frame.begin() + 5, frame.end());
            e.answer = {0x06, 0x00, 0x00, 0x02, 0x00, 0x00, 0x04};
            e.outcome = Outcome::Answered;
            if (transport != Transport::Serial) {
                HartIpHeader header;
                header.sequence = static_cast<std::uint16_t>(n);
                e.requestMessage = HartIpMessage(header, e.request);
                header.type = HartIpMessageType::Response;
                e.answerMessage = HartIpMessage(header, e.answer);
            }
            writer.Add(e);
        }
        const Bytes bytes = writer.Finish();
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    };
    write(Transport::Serial, "qt40-merge-serial.pcapng", 1'700'000'000'000'000);
    write(Transport::HartIpUdp, "qt40-merge-hartip.pcapng", 1'700'000'000'050'000);
    const auto merged = dir / "qt40-merge.pcapng";
    ASSERT_EQ(std::system(("mergecap -w '" + merged.string() + "' '" +
                           (dir / "qt40-merge-serial.pcapng").string() + "' '" +
                           (dir / "qt40-merge-hartip.pcapng").string() + "' 2>/dev/null")
                              .c_str()),
              0);
    std::string error;
    const auto read = CaptureReader::ReadFile(merged, error);
    ASSERT_TRUE(read) << error;
    EXPECT_FALSE(read->Damaged()) << read->DamageText();
    ASSERT_EQ(read->exchanges.size(), 4u);
    std::vector<Transport> transports;
    for (const Exchange& e : read->exchanges) {
        transports.push_back(e.transport);
        EXPECT_EQ(e.outcome, Outcome::Answered);
    }
    // In time order: the merge interleaves them.
    EXPECT_EQ(transports, (std::vector<Transport>{Transport::Serial, Transport::HartIpUdp,
                                                  Transport::Serial, Transport::HartIpUdp}));
    for (const char* name :
         {"qt40-merge-serial.pcapng", "qt40-merge-hartip.pcapng", "qt40-merge.pcapng"}) {
        std::filesystem::remove(dir / name);
    }
}

}  // namespace
}  // namespace qt40::traffic
