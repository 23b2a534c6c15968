#include <gtest/gtest.h>

#include "tests/sim/SimLoop.h"
#include "sim/SimFaults.h"

using namespace qt40;
using namespace qt40::testing;
using Bytes = std::vector<std::uint8_t>;

namespace {


// A long-frame request to the default QT40, preambles included.
Bytes LongRequest(std::uint8_t command, Bytes data) {
    Bytes f{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x82, 0x3F, 0x28, 0x00, 0xA1, 0xB2, command,
            static_cast<std::uint8_t>(data.size())};
    for (std::uint8_t b : data) f.push_back(b);  // (insert trips a GCC 12 false warning)
    std::uint8_t sum = 0;
    for (std::size_t i = 5; i < f.size(); ++i) sum ^= f[i];
    f.push_back(sum);
    return f;
}

std::uint8_t ResponseCodeOf(const sim::SimReply& reply) {
    std::size_t i = 0;
    while (reply.bytes[i] == 0xFF) ++i;
    const std::size_t commandIndex = (reply.bytes[i] & 0x80) ? i + 6 : i + 2;
    return reply.bytes[commandIndex + 2];
}

}  // namespace

TEST(SimDevice, AnswersOnlyFramesAddressedToIt) {
    sim::SimDevice device(sim::SimModel::QT40, 7);
    // Command 0 short frame to address 7: FF.. 02 07 00 00 05
    EXPECT_TRUE(device.Handle(Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x07, 0x00, 0x00, 0x05}));
    // ... to address 3: silence.
    EXPECT_FALSE(device.Handle(Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x03, 0x00, 0x00, 0x01}));
    // Any other command as a short frame: silence.
    EXPECT_FALSE(device.Handle(Bytes{0xFF, 0xFF, 0x02, 0x07, 0x03, 0x00, 0x06}));
    // Long frame to its own address; the master bit of the first byte does not matter.
    EXPECT_TRUE(device.Handle(LongRequest(3, {})));
    Bytes withMasterBit = LongRequest(3, {});
    withMasterBit[6] |= 0x80;
    withMasterBit.back() ^= 0x80;
    EXPECT_TRUE(device.Handle(withMasterBit));
    // Another device ID, command 0 as a long frame, a broken checksum, one preamble only.
    Bytes other = LongRequest(3, {});
    other[10] = 0xB3;
    other.back() ^= 0x01;
    EXPECT_FALSE(device.Handle(other));
    EXPECT_FALSE(device.Handle(LongRequest(0, {})));
    Bytes broken = LongRequest(3, {});
    broken.back() ^= 0x10;
    EXPECT_FALSE(device.Handle(broken));
    EXPECT_FALSE(device.Handle(Bytes{0xFF, 0x02, 0x07, 0x00, 0x00, 0x05}));
}

TEST(SimDevice, RefusesWithStandardResponseCodes) {
    sim::SimDevice device;
    struct Row {
        const char* name;
        Bytes request;
        std::uint8_t code;
    };
    const Row rows[] = {
        {"unknown command", LongRequest(1, {}), 64},
        {"too few data bytes", LongRequest(34, {0x40}), 5},
        {"invalid sensor type", LongRequest(131, {200, 0, 3}), 2},
        {"custom TC table not configured", LongRequest(131, {146, 0, 2}), 2},
        {"PV unit not offered for an RTD", LongRequest(44, {36}), 2},
        // Upper 900 over the 850 limit; lower 10 inside.
        {"upper range too high", LongRequest(35, {32, 0x44, 0x61, 0, 0, 0x41, 0x20, 0, 0}), 11},
        // 900 and -300: both out.
        {"both ranges out", LongRequest(35, {32, 0x44, 0x61, 0, 0, 0xC3, 0x96, 0, 0}), 13},
        // 10 and 5: span below 10.
        {"span too small", LongRequest(35, {32, 0x41, 0x20, 0, 0, 0x40, 0xA0, 0, 0}), 14},
        {"damping 0.4 too small", LongRequest(34, {0x3E, 0xCC, 0xCC, 0xCD}), 4},
        {"DAC trim outside fixed current mode", LongRequest(45, {0x40, 0x80, 0, 0}), 9},
        {"table point past the size", LongRequest(196, {0x00, 0x0A, 0, 0, 0, 0}), 2},
    };
    for (const Row& row : rows) {
        const auto reply = device.Handle(row.request);
        ASSERT_TRUE(reply) << row.name;
        EXPECT_EQ(ResponseCodeOf(*reply), row.code) << row.name;
    }
    // Nothing refused changed the device.
    EXPECT_EQ(device.State().sensorType, 12);
    EXPECT_EQ(device.State().upperRange, 100.0f);
    EXPECT_EQ(device.State().damping, 2.0f);
}

TEST(SimDevice, StatusBitsFollowTheDevice) {
    SimLoop loop;
    ASSERT_EQ(loop.Connect(), 0);
    EXPECT_EQ(loop.session.link.deviceStatus & 0x20, 0x20);  // cold start, first answer only
    ASSERT_EQ(loop.Run(3), 0);
    EXPECT_EQ(loop.session.link.deviceStatus, 0x00);
    loop.session.writes.dampingText = "5";
    ASSERT_EQ(loop.Run(34), 0);
    EXPECT_EQ(loop.session.link.deviceStatus & 0x40, 0x40);  // configuration changed
    loop.session.writes.fixedCurrentText = "8";
    ASSERT_EQ(loop.Run(40), 0);
    EXPECT_EQ(loop.session.link.deviceStatus & 0x08, 0x08);  // loop current fixed
    loop.device.State().additionalStatus[3] = 0x01;
    ASSERT_EQ(loop.Run(3), 0);
    EXPECT_EQ(loop.session.link.deviceStatus & 0x10, 0x10);  // more status available
}

TEST(SimDevice, FaultsAreInjectedAsConfigured) {
    SimLoop loop;
    ASSERT_EQ(loop.Connect(), 0);
    auto& faults = loop.device.Faults();

    faults.dropAnswer.remaining = 1;
    EXPECT_EQ(loop.Run(3), kSilence);
    EXPECT_EQ(loop.Run(3), 0);

    faults.corruptChecksum.remaining = 1;
    EXPECT_EQ(loop.Run(3), 0x100);  // rejected, response code 0
    EXPECT_EQ(loop.Run(3), 0);

    faults.busy.remaining = 2;
    loop.session.writes.dampingText = "7";
    EXPECT_EQ(loop.Run(34), 32);
    EXPECT_EQ(loop.Run(34), 32);
    EXPECT_EQ(loop.device.State().damping, 2.0f);  // a busy device did nothing
    EXPECT_EQ(loop.Run(34), 0);

    faults.responseCodeFor[48] = 0x40;
    EXPECT_EQ(loop.Run(48), 0x40);
    EXPECT_EQ(loop.Run(48), 0x40);

    faults.noise.remaining = 1;
    PrepareRequest(loop.session, *FindCommand(3));
    Bytes frame(kMaxFrameSize);
    frame.resize(BuildRequestFrame(loop.session.link, frame));
    const auto reply = loop.device.Handle(frame);
    ASSERT_TRUE(reply);
    EXPECT_EQ(Bytes(reply->bytes.begin(), reply->bytes.begin() + 3), faults.noiseBytes);

    faults.gap.remaining = 1;
    const auto gapped = loop.device.Handle(frame);
    ASSERT_TRUE(gapped);
    EXPECT_EQ(gapped->gapMs, faults.gapMs);
    EXPECT_LT(gapped->gapAfter, gapped->bytes.size());
}

TEST(SimDevice, FaultSwitchesFromTheCommandLine) {
    sim::SimFaults faults;
    EXPECT_FALSE(sim::ApplyFaultSwitch("drop", faults));
    EXPECT_EQ(faults.dropAnswer.remaining, 1);
    EXPECT_FALSE(sim::ApplyFaultSwitch("checksum:*", faults));
    EXPECT_EQ(faults.corruptChecksum.remaining, -1);
    EXPECT_FALSE(sim::ApplyFaultSwitch("busy:3", faults));
    EXPECT_EQ(faults.busy.remaining, 3);
    EXPECT_FALSE(sim::ApplyFaultSwitch("code:35=9", faults));
    EXPECT_EQ(faults.responseCodeFor.at(35), 9);
    EXPECT_FALSE(sim::ApplyFaultSwitch("only:34", faults));
    EXPECT_EQ(faults.onlyCommand, std::optional<std::uint8_t>(34));
    EXPECT_TRUE(sim::ApplyFaultSwitch("only:x", faults));
    EXPECT_TRUE(sim::ApplyFaultSwitch("code:35", faults));
    EXPECT_TRUE(sim::ApplyFaultSwitch("code:300=1", faults));
    EXPECT_TRUE(sim::ApplyFaultSwitch("drop:-2", faults));
    EXPECT_TRUE(sim::ApplyFaultSwitch("fire", faults));
    // Every N-th answer, for a long run.
    EXPECT_FALSE(sim::ApplyFaultSwitch("gap@13", faults));
    EXPECT_EQ(faults.gap.every, 13);
    for (const char* bad : {"gap@0", "gap@", "gap@x", "gap:2@3", "fire@2"}) {
        EXPECT_TRUE(sim::ApplyFaultSwitch(bad, faults)) << bad;
    }
}

TEST(SimDevice, APeriodicFaultHitsEveryNthAnswerForEver) {
    SimLoop loop;
    ASSERT_EQ(loop.Connect(), 0);
    ASSERT_FALSE(sim::ApplyFaultSwitch("drop@3", loop.device.Faults()));
    std::string seen;
    for (int i = 0; i < 9; ++i) seen += loop.Run(3) == kSilence ? 'x' : '.';
    EXPECT_EQ(seen, "..x..x..x");
}

TEST(SimDevice, MixedFaultsTakeTurnsEveryNthAnswer) {
    SimLoop loop;
    ASSERT_EQ(loop.Connect(), 0);
    ASSERT_FALSE(sim::ApplyFaultSwitch("mix@2", loop.device.Faults()));
    PrepareRequest(loop.session, *FindCommand(3));
    Bytes frame(kMaxFrameSize);
    frame.resize(BuildRequestFrame(loop.session.link, frame));
    std::string seen;
    for (int i = 0; i < 10; ++i) {
        const auto reply = loop.device.Handle(frame);
        if (!reply) {
            seen += 'd';
        } else if (reply->bytes.front() != 0xFF) {
            seen += 'n';
        } else if (reply->gapMs > 0) {
            seen += 'g';
        } else {
            std::uint8_t sum = 0;
            for (std::size_t k = 5; k < reply->bytes.size(); ++k) sum ^= reply->bytes[k];
            seen += sum == 0 ? '.' : 'c';
        }
    }
    EXPECT_EQ(seen, ".d.n.c.g.d");
}

TEST(SimDevice, OtherModelsOfTheFamilyIdentifyThemselves) {
    for (const char* name : {"QT10", "QT30", "QT302", "KX3"}) {
        const auto model = sim::ModelFromName(name);
        ASSERT_TRUE(model) << name;
        SimLoop loop{DeviceState{}, sim::SimDevice(*model)};
        ASSERT_EQ(loop.Connect(), 0) << name;
        EXPECT_EQ(loop.session.record.deviceTypeName, name);
        EXPECT_EQ(loop.Run(130), 0) << name;  // and answer the same commands
    }
    EXPECT_FALSE(sim::ModelFromName("qt40"));
}

TEST(SimFrameAssembler, CutsRequestsOutOfANoisyStream) {
    sim::SimFrameAssembler assembler;
    Bytes stream{0x00, 0x13, 0xFF, 0x37};  // noise, a lone preamble and a bad delimiter
    const Bytes request = LongRequest(34, {0x40, 0, 0, 0});
    stream.insert(stream.end(), request.begin(), request.end());
    const Bytes identify{0xFF, 0xFF, 0x02, 0x00, 0x00, 0x00, 0x02};
    stream.insert(stream.end(), identify.begin(), identify.end());

    std::vector<Bytes> frames;
    for (auto b : stream) {
        if (auto frame = assembler.Feed(b)) frames.push_back(*frame);
    }
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(Bytes(frames[0].begin() + 2, frames[0].end()), Bytes(request.begin() + 5, request.end()));
    EXPECT_EQ(Bytes(frames[1].begin() + 2, frames[1].end()), Bytes(identify.begin() + 2, identify.end()));
    sim::SimDevice device;
    EXPECT_TRUE(device.Handle(frames[0]));
}
