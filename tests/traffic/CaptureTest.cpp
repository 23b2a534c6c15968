// Captures written from recorded exchanges and read back, and the CSV.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <fstream>

#include "hart/FrameCodec.h"
#include "model/DeviceRecord.h"
#include "link/DataLink.h"
#include "tests/support/StationOver.h"
#include "sim/SimLoopbackPort.h"
#include "traffic/CaptureReader.h"
#include "traffic/CaptureWriter.h"
#include "traffic/ExchangeRecorder.h"
#include "traffic/PcapngWriter.h"
#include "traffic/TrafficCsv.h"
#include "transport/HartIpHeader.h"

namespace qt40::traffic {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Request(std::uint8_t command, std::array<std::uint8_t, 5> longAddress = {}) {
    HartLink l;
    l.command = command;
    l.longAddress = longAddress;
    Bytes frame(kMaxFrameSize);
    frame.resize(BuildRequestFrame(l, frame));
    return frame;
}

class TempDir {
public:
    TempDir() {
        path_ = std::filesystem::temp_directory_path() /
                ("qt40-capture-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                 "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(path_);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// A session on the line with the faults a loop has: a broken checksum, a
// lost answer, a refusal, an answer cut short, a request that never left.
std::vector<ExchangePtr> RecordedSession(ExchangeRecorder& recorder) {
    VirtualClock clock;
    sim::SimDevice device;
    sim::SimLoopbackPort port(device, clock);
    NullTraceSink trace;
    test::StationOver stack{port, clock, trace, LinkTiming{}};
    DataLink& link = stack.station.Link();
    EXPECT_EQ(link.OpenPort("COM3: baud=9600"), 200);
    link.SetObserver(&recorder);
    device.Faults().corruptChecksum = {1};
    link.Transact(Request(0));
    device.Faults().dropAnswer = {1};
    link.Transact(Request(0));
    device.Faults().responseCodeFor[0] = 16;
    link.Transact(Request(0));
    device.Faults().responseCodeFor.clear();
    device.Faults().gap = {1};
    device.Faults().gapMs = 900;
    link.Transact(Request(0));
    port.Line().hasCarrierLine = true;
    port.Line().carrierOnUntil = clock.NowMs() + 100'000;
    link.SendFrame(Request(0));
    return recorder.All();
}

TEST(CaptureTest, ASerialSessionReadsBackAsRecorded) {
    std::int64_t now = 0;
    ExchangeRecorder recorder(100, [&] { return now += 1000; });  // every event 1 ms on
    const auto recorded = RecordedSession(recorder);
    ASSERT_GE(recorded.size(), 8u);
    EXPECT_EQ(recorded.back()->outcome, Outcome::LineBusy);

    TempDir dir;
    CaptureSource source;
    source.line = "/dev/ttyUSB0";
    source.wallClockStartUs = 1'700'000'000'000'000;
    source.dropped = 7;
    ASSERT_TRUE(CaptureWriter::Save(dir / "s.pcapng", recorded, source).ok());
    std::string error;
    const auto read = CaptureReader::ReadFile(dir / "s.pcapng", error);
    ASSERT_TRUE(read) << error;
    ASSERT_EQ(read->comments.size(), 1u);
    EXPECT_NE(read->comments[0].find("on the serial line /dev/ttyUSB0"), std::string::npos);
    EXPECT_NE(read->comments[0].find("The 7 exchanges before these were dropped"), std::string::npos);

    // Everything that went over the wire, as it went; the request that never
    // left is not in the capture.
    std::vector<ExchangePtr> sent;
    for (const auto& e : recorded) {
        if (e->Sent()) sent.push_back(e);
    }
    ASSERT_EQ(read->exchanges.size(), sent.size());
    // The reader counts from its first packet, the recorder from its start.
    const std::int64_t offset = read->wallClockStartUs - source.wallClockStartUs;
    for (std::size_t i = 0; i < sent.size(); ++i) {
        SCOPED_TRACE(i);
        const Exchange& a = *sent[i];
        const Exchange& b = read->exchanges[i];
        EXPECT_EQ(b.transport, Transport::Serial);
        EXPECT_EQ(b.request, a.request);
        EXPECT_EQ(b.answer, a.answer);
        EXPECT_EQ(b.outcome, a.outcome);
        EXPECT_EQ(b.attempt, a.attempt);
        EXPECT_EQ(b.requestPreambles, a.requestPreambles);
        EXPECT_EQ(b.sentUs + offset, a.sentUs);
        if (!a.answer.empty()) {
            EXPECT_EQ(b.answerPreambles, a.answerPreambles);
            EXPECT_EQ(b.endedUs + offset, a.endedUs);
        }
    }
    // Each outcome the line produced is among them.
    std::set<Outcome> outcomes;
    for (const auto& e : read->exchanges) outcomes.insert(e.outcome);
    EXPECT_EQ(outcomes, (std::set<Outcome>{Outcome::Answered, Outcome::BadChecksum, Outcome::NoAnswer,
                                           Outcome::Incomplete}));
}

// Exchanges as a HART-IP transport would hand them: the messages as they went.
std::vector<ExchangePtr> HartIpSession(Transport transport) {
    std::vector<ExchangePtr> out;
    sim::SimDevice device;
    HartLink identity;
    auto first = device.Handle(Request(0))->bytes;
    first.erase(first.begin(), first.begin() + 5);
    EXPECT_TRUE(DecodeResponseFrame(identity, first));
    DeviceRecord record;
    DecodeIdentity(identity, record);
    for (std::uint8_t command : {0, 13, 3, 48}) {
        auto e = std::make_shared<Exchange>();
        e->number = out.size() + 1;
        e->transport = transport;
        e->sentUs = static_cast<std::int64_t>(out.size()) * 50'000;
        e->endedUs = e->sentUs + 12'000;
        const Bytes frame = Request(command, identity.longAddress);
        e->request.assign(frame.begin() + 5, frame.end());
        auto reply = device.Handle(frame)->bytes;
        while (reply.front() == 0xFF) reply.erase(reply.begin());
        e->answer = reply;
        e->outcome = Outcome::Answered;
        HartIpHeader header;
        header.sequence = static_cast<std::uint16_t>(100 + out.size());
        e->requestMessage = HartIpMessage(header, e->request);
        header.type = HartIpMessageType::Response;
        e->answerMessage = HartIpMessage(header, e->answer);
        out.push_back(e);
    }
    auto lost = std::make_shared<Exchange>(*out.back());
    lost->number = 5;
    lost->sentUs += 100'000;
    lost->endedUs = lost->sentUs + 3'000'000;
    lost->answer.clear();
    lost->answerMessage.clear();
    lost->outcome = Outcome::NoAnswer;
    lost->requestMessage[5] = 99;  // its own sequence number
    out.push_back(lost);
    return out;
}

TEST(CaptureTest, HartIpMessagesReadBackOverUdpAndTcp) {
    for (Transport transport : {Transport::HartIpUdp, Transport::HartIpTcp}) {
        SCOPED_TRACE(std::string(TransportText(transport)));
        const auto session = HartIpSession(transport);
        CaptureWriter writer({"hartip://192.168.1.20", 1'700'000'000'000'000, 0, "test"}, transport);
        for (const auto& e : session) writer.Add(*e);
        std::string error;
        const auto read = CaptureReader::Read(writer.Finish(), error);
        ASSERT_TRUE(read) << error;
        ASSERT_EQ(read->exchanges.size(), session.size());
        // TCP: three packets to open, one a message, three to close.
        EXPECT_EQ(read->packets, transport == Transport::HartIpTcp ? 9u + 6u : 9u);
        for (std::size_t i = 0; i < session.size(); ++i) {
            EXPECT_EQ(read->exchanges[i].transport, transport);
            EXPECT_EQ(read->exchanges[i].requestMessage, session[i]->requestMessage);
            EXPECT_EQ(read->exchanges[i].answerMessage, session[i]->answerMessage);
            EXPECT_EQ(read->exchanges[i].answer, session[i]->answer);
            EXPECT_EQ(read->exchanges[i].outcome, session[i]->outcome);
        }
    }
}

TEST(CaptureTest, BrokenFilesAreRefusedOrReadUpToTheBreak) {
    ExchangeRecorder recorder;
    const auto recorded = RecordedSession(recorder);
    CaptureWriter writer({"COM3", 0, 0, "test"}, Transport::Serial);
    for (const auto& e : recorded) writer.Add(*e);
    const Bytes whole = writer.Finish();
    std::string error;
    const auto all = CaptureReader::Read(whole, error);
    ASSERT_TRUE(all);

    // Cut anywhere: never a read past the end, and the packets before the cut stay.
    for (std::size_t n = 0; n < whole.size(); n += 7) {
        const auto part = CaptureReader::Read(Bytes(whole.begin(), whole.begin() + n), error);
        if (part) {
            EXPECT_LE(part->packets, all->packets);
        }
    }
    EXPECT_FALSE(CaptureReader::Read(Bytes{'h', 'e', 'l', 'l', 'o'}, error));
    EXPECT_EQ(error, "not a pcapng file");
    // Time stamps from the far future and from 1970 side by side: their
    // difference stays a number (found by the capture reader's fuzzer).
    PcapngWriter odd("odd", "test", "test");
    IpFlow flow;
    const Bytes pdu{0x02, 0x00, 0x00, 0x00, 0x02};
    for (std::int64_t at : {std::int64_t{-1}, std::int64_t{0}}) {
        odd.AddPacket(at, flow.Udp(Direction::ToDevice, HartIpMessage({}, pdu)));
    }
    const auto times = CaptureReader::Read(odd.Bytes(), error);
    ASSERT_TRUE(times);
    ASSERT_EQ(times->exchanges.size(), 2u);
    EXPECT_LT(times->exchanges[1].sentUs, 0);

    Bytes lying = whole;
    lying[4] = 0xF0;  // the section says it is far longer than the file
    EXPECT_FALSE(CaptureReader::Read(lying, error));
    EXPECT_NE(error.find("broken pcapng block"), std::string::npos);
}

TEST(CaptureTest, CsvHasOneQuotedRowAnExchange) {
    ExchangeRecorder recorder;
    const auto recorded = RecordedSession(recorder);
    const auto lines = TrafficCsv::Lines(recorded, 0);
    ASSERT_EQ(lines.size(), recorded.size() + 1);
    EXPECT_EQ(lines[0].rfind("number,time_utc,time_s,delta_ms,transport,try,address,command,name,", 0), 0u);
    // The first exchange: command 0 to address 0, its answer's checksum broken.
    EXPECT_NE(lines[1].find(",serial,1,0,0,Read unique identifier,bad checksum,"), std::string::npos)
        << lines[1];
    EXPECT_NE(lines[2].find(",serial,2,0,0,Read unique identifier,success,0x00,"), std::string::npos)
        << lines[2];
    EXPECT_NE(lines[2].find(",Expansion code = 254; Manufacturer ID = 63 (Orvale CO);"), std::string::npos)
        << lines[2];
    EXPECT_EQ(TrafficCsv::Quoted("a \"b\", c"), "\"a \"\"b\"\", c\"");
    EXPECT_EQ(TrafficCsv::Quoted("plain"), "plain");
}

}  // namespace
}  // namespace qt40::traffic
