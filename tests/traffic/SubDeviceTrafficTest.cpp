// What went to and from a device behind an I/O system, in words: command 77
// requests and answers with the frame they carry decoded as if sent
// directly, the I/O system's own answers (74, 84, 33 … 35) by field, and a
// capture recorded through the link that tshark and our reader take clean.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "hart/CommandSet.h"
#include "hart/DeviceState.h"
#include "hart/FrameCodec.h"
#include "hart/IoSystemCommands.h"
#include "sim/SimLoopbackPort.h"
#include "tests/support/HostileIoSystem.h"
#include "tests/support/StationOver.h"
#include "tests/traffic/Tshark.h"
#include "traffic/CaptureReader.h"
#include "traffic/CaptureWriter.h"
#include "traffic/ExchangeRecorder.h"
#include "traffic/ExchangeText.h"
#include "traffic/FrameDecoder.h"

namespace qt40::traffic {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes WithCheck(Bytes frame) {
    std::uint8_t sum = 0;
    for (std::uint8_t b : frame) sum ^= b;
    frame.push_back(sum);
    return frame;
}

Bytes Joined(Bytes head, const Bytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

std::vector<std::string> Texts(const std::vector<DecodedField>& fields) {
    std::vector<std::string> out;
    for (const DecodedField& f : fields) out.push_back(f.Text());
    return out;
}

// The I/O system at 21 2D 0A 0B 0C (as the primary master addresses it), a
// QT40 at 3F 28 00 00 01 on card 1 channel 2.
const Bytes kIo{0xA1, 0x2D, 0x0A, 0x0B, 0x0C};
// Command 2 to the QT40, and its answer (12 mA, 50 %), without check bytes.
const Bytes kInnerRequest{0x82, 0xBF, 0x28, 0x00, 0x00, 0x01, 0x02, 0x00};
const Bytes kInnerAnswer{0x86, 0xBF, 0x28, 0x00, 0x00, 0x01, 0x02, 0x0A, 0x00,
                         0x00, 0x41, 0x40, 0x00, 0x00, 0x42, 0x48, 0x00, 0x00};

Bytes Request77(const Bytes& inner) {
    Bytes frame = Joined({0x82}, kIo);
    frame.push_back(77);
    frame.push_back(static_cast<std::uint8_t>(3 + inner.size()));
    return WithCheck(Joined(Joined(frame, {1, 2, 5}), inner));
}

Bytes Answer(std::uint8_t command, std::uint8_t code, const Bytes& payload) {
    Bytes frame = Joined({0x86}, kIo);
    frame.push_back(command);
    frame.push_back(static_cast<std::uint8_t>(2 + payload.size()));
    return WithCheck(Joined(Joined(frame, {code, 0x00}), payload));
}

TEST(SubDeviceDecodeTest, CommandSeventySevenShowsTheFrameItCarriesAsIfSentDirectly) {
    const DecodedFrame request = DecodeFrame(Request77(kInnerRequest));
    EXPECT_TRUE(request.problem.empty()) << request.problem;
    EXPECT_EQ(request.CommandText(),
              "cmd 77 Send command to sub-device (card 1 channel 2: cmd 2 Read loop current and "
              "percent of range)");
    const DecodedFrame directRequest = DecodeFrame(WithCheck(kInnerRequest));
    std::vector<std::string> expected{
        "I/O card = 1", "Channel = 2", "Transmit preamble count = 5",
        "Sub-device = 3F 28 00 00 01: cmd 2 Read loop current and percent of range"};
    for (const std::string& f : Texts(directRequest.fields)) expected.push_back(f);
    EXPECT_EQ(Texts(request.fields), expected);
    ASSERT_NE(request.embedded, nullptr);
    EXPECT_EQ(request.embedded->command, 2);
    EXPECT_TRUE(request.embedded->primaryMaster);

    const DecodedFrame answer = DecodeFrame(Answer(77, 0, Joined({1, 2}, kInnerAnswer)));
    EXPECT_TRUE(answer.problem.empty()) << answer.problem;
    EXPECT_EQ(answer.responseText, "success");
    const DecodedFrame direct = DecodeFrame(WithCheck(kInnerAnswer));
    ASSERT_FALSE(direct.fields.empty());
    expected = {"I/O card = 1", "Channel = 2",
                "Sub-device = 3F 28 00 00 01: cmd 2 Read loop current and percent of range, "
                "success, status 0x00"};
    for (const std::string& f : Texts(direct.fields)) expected.push_back(f);
    EXPECT_EQ(Texts(answer.fields), expected);
    ASSERT_NE(answer.embedded, nullptr);
    EXPECT_EQ(Texts(answer.embedded->fields), Texts(direct.fields));

    // The I/O system's own codes, named; a frame it cannot carry shown as bytes.
    struct Row {
        Bytes frame;
        const char* response;
        std::vector<std::string> fields;
    };
    const Row rows[] = {
        {Answer(77, 33, {1, 2}), "delayed response initiated", {"I/O card = 1", "Channel = 2"}},
        {Answer(77, 34, {1, 2}), "delayed response running", {"I/O card = 1", "Channel = 2"}},
        {Answer(77, 35, {1, 2}), "delayed response dead", {"I/O card = 1", "Channel = 2"}},
        {Answer(77, 21, {}), "invalid I/O card number", {}},
        {Answer(77, 22, {}), "invalid channel number", {}},
        {Answer(77, 0, Joined({1, 2}, WithCheck(kInnerAnswer))),
         "success",
         {"I/O card = 1", "Channel = 2", "Further bytes = " + HexText(WithCheck(kInnerAnswer))}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.response);
        const DecodedFrame f = DecodeFrame(row.frame);
        EXPECT_EQ(f.responseText, row.response);
        EXPECT_EQ(Texts(f.fields), row.fields);
        EXPECT_EQ(f.embedded, nullptr);
    }
}

TEST(SubDeviceDecodeTest, CapabilitiesAndIdentitySummariesByField) {
    const DecodedFrame caps = DecodeFrame(Answer(74, 0, {4, 16, 1, 0x00, 0x21, 4, 1, 3}));
    EXPECT_EQ(caps.CommandText(), "cmd 74 Read I/O system capabilities");
    EXPECT_EQ(Texts(caps.fields),
              (std::vector<std::string>{"Maximum I/O cards = 4", "Maximum channels per card = 16",
                                        "Maximum sub-devices per channel = 1",
                                        "Devices detected = 33", "Maximum delayed responses = 4",
                                        "Master mode = 1 (primary master)", "Retry count = 3"}));

    Bytes summary{0x00, 0x02, 1, 2, 0x00, 0x3F, 0x3F, 0x28, 0x00, 0x00, 0x01, 5};
    Bytes tag(32, 0x00);
    const std::string text = "TT-101";
    std::copy(text.begin(), text.end(), tag.begin());
    summary = Joined(Joined(summary, tag), {8, 0x01, 0x00, 0x3F});
    const DecodedFrame identity = DecodeFrame(Answer(84, 0, summary));
    EXPECT_EQ(identity.CommandText(), "cmd 84 Read sub-device identity summary");
    EXPECT_EQ(Texts(identity.fields),
              (std::vector<std::string>{"Sub-device index = 2", "I/O card = 1", "Channel = 2",
                                        "Manufacturer ID = 63", "Expanded device type = 16168",
                                        "Device ID = 1", "Universal command revision = 5",
                                        "Long tag = \"TT-101\"", "Device revision = 8",
                                        "Device profile = 1", "Private label distributor = 63"}));
    const DecodedFrame asked = DecodeFrame(WithCheck(Joined(Joined({0x82}, kIo), {84, 2, 0, 2})));
    EXPECT_EQ(Texts(asked.fields), std::vector<std::string>{"Sub-device index = 2"});
    // Past the last sub-device: refused, nothing to show.
    EXPECT_EQ(DecodeFrame(Answer(84, 2, {})).responseText, "invalid selection");
}

// An exchange recorded through the link over the command 77 transport, with
// delayed responses, saved as a capture: tshark finds nothing wrong, and our
// reader pairs every answer with its request and decodes what they carry.
TEST(SubDeviceCaptureTest, ACaptureThroughAnIoSystemIsCleanAndPairsEveryAnswer) {
    ASSERT_TRUE(test::TsharkInstalled()) << "tshark is missing: ./dev test installs it";
    for (const HartIpProtocol protocol : {HartIpProtocol::Tcp, HartIpProtocol::Udp}) {
        SCOPED_TRACE(protocol == HartIpProtocol::Tcp ? "TCP" : "UDP");
        testing::HostileIoSystem io(testing::IoSystemScript::Codes({33, 34}));
        ASSERT_TRUE(io.started);
        VirtualClock clock;
        sim::SimDevice serialDevice;
        sim::SimLoopbackPort serialPort{serialDevice, clock};
        NullTraceSink trace;
        ExchangeRecorder recorder;
        ::qt40::test::StationOver stack{serialPort, clock, trace, LinkTiming{}};
        DataLink& link = stack.station.Link();
        link.SetObserver(&recorder);
        ASSERT_EQ(link.OpenPort(io.Url(protocol)), kCommSuccess) << link.LastError();
        DeviceState session;
        const std::vector<std::uint8_t> commands{0, 13, 3};
        for (const std::uint8_t command : commands) {
            const CommandStep& step = *FindCommand(command);
            PrepareRequest(session, step);
            Bytes frame(kMaxFrameSize);
            frame.resize(BuildRequestFrame(session.link, frame));
            ASSERT_EQ(link.Transact(frame), kCommSuccess) << link.LastError();
            ASSERT_TRUE(DecodeResponseFrame(session.link, link.Received()));
            ASSERT_TRUE(DecodeAnswer(session, step));
        }
        link.ClosePort();
        // The decoded trace names the card and channel of each request.
        std::vector<std::string> told;
        for (const ExchangePtr& e : recorder.Since(0)) {
            if (!e->sessionMessage) told.push_back(TraceLines(*e).front());
        }
        ASSERT_EQ(told.size(), commands.size());
        EXPECT_NE(told[1].find(" on card 1 channel 2: cmd 13 Read tag, descriptor, date"),
                  std::string::npos)
            << told[1];

        const auto path = std::filesystem::temp_directory_path() /
                          (std::string("qt40-subdevice-") +
                           (protocol == HartIpProtocol::Tcp ? "tcp" : "udp") + ".pcapng");
        ASSERT_TRUE(
            CaptureWriter::Save(path, recorder.Since(0), {io.Url(protocol), 1'700'000'000'000'000})
                .ok());
        EXPECT_EQ(test::Tshark(path.string(), test::kFaultFilter), "");
        // The identity read, then each request and its two repeats, all as command 77.
        const auto sent =
            test::Lines(test::Tshark(path.string(),
                                     "-Y 'hart_ip.message_type == 0 && hart_ip.message_id == 3' -T "
                                     "fields -e hart_ip.pt.command"));
        std::vector<std::string> expected{"0"};
        expected.resize(1 + 3 * commands.size(), "77");
        EXPECT_EQ(sent, expected);

        std::string error;
        const auto read = CaptureReader::ReadFile(path, error);
        ASSERT_TRUE(read) << error;
        EXPECT_FALSE(read->Damaged()) << read->DamageText();
        EXPECT_EQ(read->unpairedAnswers, 0u);
        std::vector<int> carried;
        for (const Exchange& e : read->exchanges) {
            if (e.sessionMessage) continue;
            EXPECT_EQ(e.outcome, Outcome::Answered);
            const DecodedFrame request = DecodeFrame(e.request);
            ASSERT_NE(request.embedded, nullptr);
            carried.push_back(*request.embedded->command);
        }
        EXPECT_EQ(carried, std::vector<int>(commands.begin(), commands.end()));
        std::filesystem::remove(path);
    }
}

}  // namespace
}  // namespace qt40::traffic
