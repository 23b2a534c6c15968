// Several transmitters on one loop: each answers only what is addressed to it.

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "hart/CommandSet.h"
#include "hart/FrameCodec.h"
#include "hart/DeviceState.h"
#include "sim/SimMultidrop.h"

namespace qt40::sim {
namespace {

// The master's side: one command through the loop, decoded into `session`.
bool Exchange(SimMultidrop& loop, DeviceState& session, std::uint8_t command) {
    PrepareRequest(session, *FindCommand(command));
    std::vector<std::uint8_t> frame(kMaxFrameSize + 8);
    frame.resize(BuildRequestFrame(session.link, frame));
    const auto reply = loop.Handle(frame);
    if (!reply) return false;
    std::size_t start = 0;
    while (start < reply->bytes.size() && reply->bytes[start] == 0xFF) ++start;
    const std::span<const std::uint8_t> answer(reply->bytes.data() + start,
                                               reply->bytes.size() - start);
    return DecodeResponseFrame(session.link, answer) && DecodeAnswer(session, *FindCommand(command));
}

TEST(SimMultidrop, EachPollingAddressIdentifiesItsOwnDeviceAndTheRestAreSilent) {
    SimMultidrop loop = SimMultidrop::Plant(3, 5000, {SimModel::QT40, SimModel::QT30});
    std::set<std::string> ids;
    for (int address = 0; address <= 15; ++address) {
        DeviceState session;
        session.link.pollingAddress = address;
        const bool answered = Exchange(loop, session, 0);
        EXPECT_EQ(answered, address >= 1 && address <= 3) << "address " << address;
        if (!answered) continue;
        ids.insert(session.record.deviceIdText);
        EXPECT_EQ(session.record.deviceIdText, std::to_string(5000 + address - 1));
        // The first device is the model given first; the rest repeat the last.
        EXPECT_EQ(session.record.deviceTypeName, address == 1 ? "QT40" : "QT30");
    }
    EXPECT_EQ(ids.size(), 3u);
}

TEST(SimMultidrop, LongFramesReachOnlyTheDeviceWithThatLongAddress) {
    SimMultidrop loop = SimMultidrop::Plant(2, 0x123456);
    loop.WithDevice(1, [](SimDevice& d) { d.State().upperRange = 250.0f; });
    for (int address : {1, 2}) {
        DeviceState session;
        session.link.pollingAddress = address;
        ASSERT_TRUE(Exchange(loop, session, 0));
        ASSERT_TRUE(Exchange(loop, session, 13));  // tag, descriptor, date
        ASSERT_TRUE(Exchange(loop, session, 15));  // range
        EXPECT_EQ(session.record.tag, address == 1 ? "TT-101  " : "TT-102  ");
        EXPECT_FLOAT_EQ(static_cast<float>(session.record.upperRange),
                        address == 1 ? 100.0f : 250.0f);
    }
}

}  // namespace
}  // namespace qt40::sim
