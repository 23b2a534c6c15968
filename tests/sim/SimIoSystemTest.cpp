// The simulated I/O system as a master meets it: its own identity, its
// capabilities and sub-device list, and command 77 with delayed responses on
// virtual time, straight through the responder and through the HART-IP server.
#include "sim/SimIoSystem.h"

#include <gtest/gtest.h>

#include "hart/HartFrame.h"
#include "transport/HartIpClient.h"

namespace qt40::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The I/O system's long address with the master bit, as a primary master sends it.
Bytes IoAddress() {
    const auto a = SimIoSystem::LongAddress();
    return {static_cast<std::uint8_t>(a[0] | 0x80), a[1], a[2], a[3], a[4]};
}

Bytes Request(const Bytes& address, std::uint8_t command, const Bytes& data = {}) {
    return HartFrame::Make(FrameKind::Request, address, command, data).value().Bytes();
}

// Command 77 to the I/O system carrying `inner` (a whole request frame; its
// check byte stays off) to `card`/`channel`.
Bytes Wrap(int card, int channel, const Bytes& inner, std::uint8_t preambles = 5) {
    Bytes data{static_cast<std::uint8_t>(card), static_cast<std::uint8_t>(channel), preambles};
    data.insert(data.end(), inner.begin(), inner.end() - 1);
    return Request(IoAddress(), 77, data);
}

// Command 0 to polling address `address` on a sub-device's loop.
Bytes Command0(int address = 0) {
    return Request({static_cast<std::uint8_t>(0x80 | address)}, 0);
}

struct Answer {
    std::uint8_t code = 0;
    Bytes payload;  // after response code and status
};

class IoRig {
public:
    explicit IoRig(SimIoSystemOptions options = {}) : io(std::move(options), &clock) {}

    std::optional<Answer> Ask(const Bytes& request) {
        const auto bytes = io.Handle(request);
        if (!bytes) return std::nullopt;
        const ParsedFrame parsed = HartFrame::Parse(*bytes);
        EXPECT_TRUE(parsed.Sound());
        EXPECT_EQ(parsed.frame.Kind(), FrameKind::Answer);
        const auto payload = parsed.frame.Payload();
        return Answer{parsed.frame.ResponseCode().value_or(0xFF), {payload.begin(), payload.end()}};
    }
    int Code(const Bytes& request) {
        const auto answer = Ask(request);
        return answer ? answer->code : -1;
    }

    VirtualClock clock;
    SimIoSystem io;
};

SimIoSystemOptions Size(int cards, int channels) {
    SimIoSystemOptions options;
    options.cards = cards;
    options.channels = channels;
    return options;
}

// Command 0 to a QT40 at polling address 0: 5 preambles and 5 frame bytes
// out, 5 preambles and a 19-byte answer back, at 11 bits a byte and 1200
// bit/s (311.7 ms, rounded up), and the device's 20 ms turnaround.
constexpr int kCommand0Ms = 312 + 20;
// A silent loop: three tries of the 10-byte request, each waiting 300 ms.
constexpr int kSilentMs = 3 * (92 + 300);

TEST(SimIoSystem, AnswersOnlyFramesAddressedToItself) {
    IoRig rig(Size(2, 8));
    const Bytes qt40 = {0xBF, 0x28, 0x40, 0x00, 0x00};  // the QT40 on card 0, channel 0
    Bytes unmasked = IoAddress();
    unmasked[0] |= 0xC0;
    Bytes badCheck = Command0();
    badCheck.back() ^= 1;
    Bytes preambled = Command0();
    preambled.insert(preambled.begin(), 5, 0xFF);
    struct Row {
        const char* name;
        Bytes request;
        int code;  // -1: silence
    } rows[] = {
        {"command 0 at polling address 0", Command0(0), 0},
        {"command 0 at its long address", Request(IoAddress(), 0), 0},
        {"its long address, master and burst bits set", Request(unmasked, 0), 0},
        {"command 0 at polling address 1", Command0(1), -1},
        {"command 74 as a short frame", Request({0x80}, 74), -1},
        {"a sub-device's long address", Request(qt40, 0), -1},
        {"a broken check byte", badCheck, -1},
        {"preambles in front", preambled, -1},
        {"command 13, not served", Request(IoAddress(), 13), kRcNotImplemented},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(rig.Code(row.request), row.code);
    }
}

TEST(SimIoSystem, IdentifiesItselfInHart7Form) {
    IoRig rig;
    const auto answer = rig.Ask(Command0());
    ASSERT_TRUE(answer);
    const Bytes expected = {254,  0xE0, 0xA4, 5, 7, 1, 1, 0x08, 0, 0x10, 0xC0,
                            0x01, 5,    0,    0, 0, 0, 0, 0x3F, 0, 0x3F, 4};
    EXPECT_EQ(answer->payload, expected);
    // The long address a master builds from it reaches the system.
    const Bytes built = {static_cast<std::uint8_t>(0x80 | (expected[1] & 0x3F)), expected[2],
                         expected[9], expected[10], expected[11]};
    EXPECT_EQ(rig.Code(Request(built, 74)), 0);
}

TEST(SimIoSystem, TellsItsCapabilities) {
    SimIoSystemOptions options = Size(2, 8);
    options.channelModels[{1, 3}] = std::nullopt;
    options.maxDelayed = 6;
    IoRig rig(options);
    const auto answer = rig.Ask(Request(IoAddress(), 74));
    ASSERT_TRUE(answer);
    // Cards, channels, devices a channel, 16 found (15 QT40s and itself), six
    // held at once, primary master, two retries.
    EXPECT_EQ(answer->payload, (Bytes{2, 8, 1, 0, 16, 6, 1, 2}));
}

TEST(SimIoSystem, ListsEverySubDeviceInCardAndChannelOrder) {
    SimIoSystemOptions options = Size(2, 2);
    options.devicesPerChannel = 2;
    options.channelModels[{0, 1}] = std::nullopt;
    options.channelModels[{1, 1}] = SimModel::KX3;
    IoRig rig(options);
    struct Row {
        int card, channel;
        std::uint8_t manufacturer, type;
        std::uint32_t deviceId;
        const char* tag;
    } rows[] = {
        {0, 0, 0x3F, 0x28, 0x400000, "TT000000"}, {0, 0, 0x3F, 0x28, 0x400001, "TT000001"},
        {1, 0, 0x3F, 0x28, 0x401000, "TT010000"}, {1, 0, 0x3F, 0x28, 0x401001, "TT010001"},
        {1, 1, 0x3E, 0x03, 0x401040, "TT010100"}, {1, 1, 0x3E, 0x03, 0x401041, "TT010101"},
    };
    const auto self = rig.Ask(Request(IoAddress(), 84, {0, 0}));
    ASSERT_TRUE(self);
    ASSERT_EQ(self->payload.size(), 48u);
    EXPECT_EQ(Bytes(self->payload.begin() + 4, self->payload.begin() + 11),
              (Bytes{0x00, 0x3F, 0xE0, 0xA4, 0x10, 0xC0, 0x01}));
    EXPECT_EQ(self->payload[45], kIoSystemProfile);
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const Row& row = rows[i];
        SCOPED_TRACE(row.tag);
        const auto index = static_cast<std::uint8_t>(i + 1);
        const auto answer = rig.Ask(Request(IoAddress(), 84, {0, index}));
        ASSERT_TRUE(answer);
        ASSERT_EQ(answer->code, 0);
        const Bytes& p = answer->payload;
        ASSERT_EQ(p.size(), 48u);
        const Bytes head = {0,
                            index,
                            static_cast<std::uint8_t>(row.card),
                            static_cast<std::uint8_t>(row.channel),
                            0,
                            row.manufacturer,
                            row.manufacturer,
                            row.type,
                            static_cast<std::uint8_t>(row.deviceId >> 16),
                            static_cast<std::uint8_t>(row.deviceId >> 8),
                            static_cast<std::uint8_t>(row.deviceId),
                            5};
        EXPECT_EQ(Bytes(p.begin(), p.begin() + 12), head);
        EXPECT_EQ(std::string(p.begin() + 12, p.begin() + 44),
                  std::string(row.tag) + std::string(24, ' '));
        EXPECT_EQ(p[45], 1);  // process automation device
    }
    EXPECT_EQ(rig.Code(Request(IoAddress(), 84, {0, 7})), kRcInvalidSelection);
    EXPECT_EQ(rig.Code(Request(IoAddress(), 84, {1, 0})), kRcInvalidSelection);
    EXPECT_EQ(rig.Code(Request(IoAddress(), 84, {0})), kRcTooFewDataBytes);
}

TEST(SimIoSystem, RefusesWhatItCannotCarry) {
    IoRig rig(Size(2, 8));
    const Bytes inner = Command0();
    Bytes shortData = Request(IoAddress(), 77, {0, 0, 5, 0x02, 0x80, 0x00, 0x04, 0x01});
    Bytes extra = Request(IoAddress(), 77, {0, 0, 5, 0x02, 0x80, 0x00, 0x00, 0x82});
    Bytes answerFrame = Request(IoAddress(), 77, {0, 0, 5, 0x06, 0x80, 0x00, 0x00});
    struct Row {
        const char* name;
        Bytes request;
        int code;
    } rows[] = {
        {"card 2 of two", Wrap(2, 0, inner), kRcInvalidCard},
        {"channel 8 of eight", Wrap(0, 8, inner), kRcInvalidChannel},
        {"card and channel only", Request(IoAddress(), 77, {0, 0}), kRcTooFewDataBytes},
        {"no frame", Request(IoAddress(), 77, {0, 0, 5}), kRcTooFewDataBytes},
        {"fewer data bytes than its byte count", shortData, kRcTooFewDataBytes},
        {"a byte after the data", extra, kRcInvalidSelection},
        {"an answer frame", answerFrame, kRcInvalidSelection},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(rig.Code(row.request), row.code);
    }
    EXPECT_EQ(rig.io.Held(), 0u);
}

// The exchange with card 1, channel 2 over the network, the I/O system on
// virtual time: 33, 34 until the loop would be done, then the answer.
TEST(SimIoSystem, DelaysTheAnswerForALoopExchangeThroughHartIp) {
    VirtualClock clock;
    SimIoSystem io(Size(2, 8), &clock);
    SimHartIpOptions options;
    options.port = 0;
    SimHartIpServer server(io.Responder(), options);
    ASSERT_TRUE(server.Start()) << server.LastError();
    HartIpClient client;
    ASSERT_EQ(client.Open(server.Endpoint(HartIpProtocol::Tcp).Url()), kCommSuccess)
        << client.LastError();
    auto exchange = [&](const Bytes& request) -> std::optional<HartFrame> {
        EXPECT_TRUE(client.Send(request).sent);
        Bytes buffer(kMaxFrameSize);
        const ReceiveResult got = client.Receive(buffer, 3000);
        if (got.end != ReceiveEnd::Answer) return std::nullopt;
        return HartFrame::Parse(std::span(buffer.data(), got.size)).frame;
    };
    const Bytes request = Wrap(1, 2, Command0());
    const std::int64_t start = clock.NowMs();
    auto answer = exchange(request);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->ResponseCode(), kRcDelayedInitiated);
    clock.Advance(kCommand0Ms - 1);
    answer = exchange(request);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->ResponseCode(), kRcDelayedRunning);
    clock.Advance(1);
    answer = exchange(request);
    ASSERT_TRUE(answer);
    ASSERT_EQ(answer->ResponseCode(), kRcSuccess);
    EXPECT_EQ(clock.NowMs() - start, kCommand0Ms);
    // Card, channel, then the QT40's answer without its check byte.
    const auto payload = answer->Payload();
    ASSERT_EQ(payload.size(), 2u + 18u);
    EXPECT_EQ(payload[0], 1);
    EXPECT_EQ(payload[1], 2);
    const ParsedFrame inner = HartFrame::Parse(payload.subspan(2));
    EXPECT_EQ(inner.end, FrameEnd::BeforeCheckByte);
    EXPECT_EQ(inner.frame.Delimiter(), 0x06);
    EXPECT_EQ(inner.frame.Command(), 0);
    EXPECT_EQ(inner.frame.ResponseCode(), 0);
    const Bytes id(inner.frame.Payload().end() - 3, inner.frame.Payload().end());
    EXPECT_EQ(id, (Bytes{0x40, 0x10, 0x80}));  // card 1 channel 2: 0x400000 + 4096 + 128
    // Collected: the same request is a new one.
    EXPECT_EQ(exchange(request)->ResponseCode(), kRcDelayedInitiated);
    client.Close();
}

TEST(SimIoSystem, ChannelsWorkSideBySide) {
    IoRig rig(Size(1, 4));
    const Bytes first = Wrap(0, 0, Command0());
    const Bytes second = Wrap(0, 3, Command0());
    EXPECT_EQ(rig.Code(first), kRcDelayedInitiated);
    EXPECT_EQ(rig.Code(second), kRcDelayedInitiated);
    rig.clock.Advance(kCommand0Ms - 1);
    EXPECT_EQ(rig.Code(first), kRcDelayedRunning);
    EXPECT_EQ(rig.Code(second), kRcDelayedRunning);
    rig.clock.Advance(1);
    EXPECT_EQ(rig.Code(second), kRcSuccess);
    EXPECT_EQ(rig.Code(first), kRcSuccess);
}

TEST(SimIoSystem, AnEmptyChannelGivesADeadResponse) {
    SimIoSystemOptions options = Size(1, 2);
    options.channelModels[{0, 1}] = std::nullopt;
    IoRig rig(options);
    const Bytes request = Wrap(0, 1, Command0());
    EXPECT_EQ(rig.Code(request), kRcDelayedInitiated);
    rig.clock.Advance(kSilentMs - 1);
    EXPECT_EQ(rig.Code(request), kRcDelayedRunning);
    rig.clock.Advance(1);
    const auto answer = rig.Ask(request);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->code, kRcDelayedDead);
    EXPECT_TRUE(answer->payload.empty());
}

TEST(SimIoSystem, TriesASilentDeviceAgain) {
    IoRig rig(Size(1, 1));
    rig.io.WithDevice(0, 0, 0, [](SimDevice& d) { return ApplyFaultSwitch("drop:1", d.Faults()); });
    const Bytes request = Wrap(0, 0, Command0());
    EXPECT_EQ(rig.Code(request), kRcDelayedInitiated);
    rig.clock.Advance(92 + 300 + kCommand0Ms - 1);
    EXPECT_EQ(rig.Code(request), kRcDelayedRunning);
    rig.clock.Advance(1);
    EXPECT_EQ(rig.Code(request), kRcSuccess);
}

TEST(SimIoSystem, HoldsNoMoreThanItsDelayedResponses) {
    SimIoSystemOptions options = Size(1, 8);
    options.maxDelayed = 4;
    IoRig rig(options);
    for (int channel = 0; channel < 4; ++channel) {
        EXPECT_EQ(rig.Code(Wrap(0, channel, Command0())), kRcDelayedInitiated) << channel;
    }
    EXPECT_EQ(rig.Code(Wrap(0, 4, Command0())), kRcDelayedConflict);
    rig.clock.Advance(kCommand0Ms);
    // Ready but not collected still takes its place.
    EXPECT_EQ(rig.Code(Wrap(0, 4, Command0())), kRcDelayedConflict);
    EXPECT_EQ(rig.Code(Wrap(0, 0, Command0())), kRcSuccess);
    EXPECT_EQ(rig.Code(Wrap(0, 4, Command0())), kRcDelayedInitiated);
    EXPECT_EQ(rig.io.Held(), 4u);
}

TEST(SimIoSystem, ARepeatThatIsNotIdenticalIsANewRequest) {
    IoRig rig(Size(1, 2));
    const Bytes request = Wrap(0, 0, Command0());
    rig.io.WithDevice(0, 0, 0, [](SimDevice& d) { d.RecordRequests(true); });
    EXPECT_EQ(rig.Code(request), kRcDelayedInitiated);
    // The loop is busy with it: another request to the channel waits its turn.
    const Bytes morePreambles = Wrap(0, 0, Command0(), 10);
    const Bytes otherCommand = Wrap(0, 0, Request({0xBF, 0x28, 0x40, 0x00, 0x00}, 13));
    EXPECT_EQ(rig.Code(morePreambles), kRcBusy);
    EXPECT_EQ(rig.Code(otherCommand), kRcBusy);
    rig.clock.Advance(kCommand0Ms);
    // Ready: a different request to the channel replaces the answer held.
    EXPECT_EQ(rig.Code(otherCommand), kRcDelayedInitiated);
    EXPECT_EQ(rig.Code(request), kRcBusy);
    EXPECT_EQ(rig.io.Held(), 1u);
    rig.clock.Advance(2000);
    const auto answer = rig.Ask(otherCommand);
    ASSERT_TRUE(answer);
    ASSERT_EQ(answer->code, kRcSuccess);
    EXPECT_EQ(HartFrame::CommandOf(std::span(answer->payload).subspan(2)), 13);
    const auto heard = rig.io.WithDevice(0, 0, 0, [](SimDevice& d) { return d.Heard(); });
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[1].command, 13);
}

TEST(SimIoSystem, ForgetsAnAnswerNobodyCollects) {
    SimIoSystemOptions options = Size(1, 1);
    options.holdMs = 30000;
    IoRig rig(options);
    rig.io.WithDevice(0, 0, 0, [](SimDevice& d) { d.RecordRequests(true); });
    const Bytes request = Wrap(0, 0, Command0());
    EXPECT_EQ(rig.Code(request), kRcDelayedInitiated);
    rig.clock.Advance(kCommand0Ms + 29999);
    EXPECT_EQ(rig.io.Held(), 1u);
    rig.clock.Advance(1);
    EXPECT_EQ(rig.io.Held(), 0u);
    // Asked again, the device is asked again.
    EXPECT_EQ(rig.Code(request), kRcDelayedInitiated);
    EXPECT_EQ(rig.io.WithDevice(0, 0, 0, [](SimDevice& d) { return d.Heard().size(); }), 2u);
}

TEST(SimIoSystem, ReachesEveryDeviceOnAMultidropChannel) {
    SimIoSystemOptions options = Size(1, 1);
    options.devicesPerChannel = 3;
    IoRig rig(options);
    const Bytes request = Wrap(0, 0, Command0(2));
    EXPECT_EQ(rig.Code(request), kRcDelayedInitiated);
    rig.clock.Advance(1000);
    const auto answer = rig.Ask(request);
    ASSERT_TRUE(answer);
    ASSERT_EQ(answer->code, kRcSuccess);
    EXPECT_EQ(answer->payload.back(), 0x02);  // device ID 0x400002
    // Its long address, and a command only a long frame carries.
    const Bytes tagRequest = Wrap(0, 0, Request({0xBF, 0x28, 0x40, 0x00, 0x02}, 13));
    EXPECT_EQ(rig.Code(tagRequest), kRcDelayedInitiated);
    rig.clock.Advance(1000);
    const auto tag = rig.Ask(tagRequest);
    ASSERT_TRUE(tag);
    ASSERT_EQ(tag->code, kRcSuccess);
    const ParsedFrame inner = HartFrame::Parse(std::span(tag->payload).subspan(2));
    EXPECT_EQ(inner.frame.ResponseCode(), 0);
}

TEST(SimIoSystem, ReadsItsSizeAndChannelSwitches) {
    struct Row {
        const char* text;
        bool channel;  // a channel switch, else a size
        bool ok;
    } rows[] = {
        {"2x8", false, true},      {"1X1", false, true},       {"64x64", false, true},
        {"0x8", false, false},     {"2x", false, false},       {"2*8", false, false},
        {"65x1", false, false},    {"x8", false, false},       {"1/3=empty", true, true},
        {"0/7=KX3", true, true},   {"2/0=QT40", true, false},  {"0/8=QT40", true, false},
        {"0/1=QT99", true, false}, {"0-1=empty", true, false}, {"0/1", true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        SimIoSystemOptions options = Size(2, 8);
        const auto error = row.channel ? ApplyIoChannelSwitch(row.text, options)
                                       : ApplyIoSystemSize(row.text, options);
        EXPECT_EQ(!error, row.ok) << error.value_or("");
    }
    SimIoSystemOptions options = Size(2, 8);
    ASSERT_FALSE(ApplyIoChannelSwitch("1/3=empty", options));
    ASSERT_FALSE(ApplyIoChannelSwitch("0/7=KX3", options));
    EXPECT_EQ(options.channelModels.at({1, 3}), std::nullopt);
    EXPECT_EQ(options.channelModels.at({0, 7}), SimModel::KX3);
    SimIoSystem io(options);
    EXPECT_EQ(io.DevicesOn(1, 3), 0u);
    EXPECT_EQ(io.WithDevice(0, 7, 0, [](SimDevice& d) { return d.State().manufacturerId; }), 0x3E);
}

}  // namespace
}  // namespace qt40::sim
