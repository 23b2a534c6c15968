// The soak's reference: what a faultless master would print for the answers
// that left the simulator.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <string>
#include <vector>

#include "cli/RecordPrinter.h"
#include "cli/SimValueLog.h"
#include "hart/CommandSet.h"
#include "hart/FrameCodec.h"
#include "hart/HartSession.h"

namespace qt40::cli {
namespace {

std::vector<std::string> LinesOf(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(SimValueLog, WritesWhatTheMasterShowsForEachCycleItCouldAccept) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("sim.values").toStdString();
    SimValueLog log;
    ASSERT_TRUE(log.Open(path));
    sim::SimDevice device;
    HartSession master;  // decodes what it is sent, as the worker does
    std::vector<std::string> expected;

    // Given a poll cycle whose answers come whole, with noise, damaged or dropped...
    auto ask = [&](std::uint8_t command, const char* fault) {
        sim::SimFaults& f = device.Faults();
        f.noise.remaining = std::string(fault) == "noise";
        f.corruptChecksum.remaining = std::string(fault) == "checksum";
        f.dropAnswer.remaining = std::string(fault) == "drop";
        PrepareRequest(master, *FindCommand(command));
        std::vector<std::uint8_t> frame(kMaxFrameSize + 8);
        frame.resize(BuildRequestFrame(master.link, frame));
        const auto reply = device.Handle(frame);
        if (!reply) return;
        log.Observe(*reply);
        std::size_t start = 0;
        while (reply->bytes[start] != 0xFF) ++start;
        while (reply->bytes[start] == 0xFF) ++start;
        const std::span<const std::uint8_t> answer(reply->bytes.data() + start, reply->bytes.size() - start);
        if (DecodeResponseFrame(master.link, answer) && DecodeAnswer(master, *FindCommand(command)) &&
            command == 48) {
            expected.push_back(RecordPrinter::MonitorLine(master.record, master.link.deviceStatus));
        }
    };
    ask(0, "");
    for (std::uint8_t command : {3, 2, 48}) ask(command, "");
    ask(3, "checksum");  // retried
    ask(3, "noise");
    ask(2, "");
    ask(48, "");
    ask(3, "");
    ask(2, "");
    ask(48, "drop");  // this cycle never ends for the master
    ask(48, "checksum");

    // ...then a line is written for every cycle end the master accepted, and no other.
    ASSERT_EQ(expected.size(), 2u);
    EXPECT_EQ(LinesOf(path), expected);
    EXPECT_EQ(log.Lines(), 2u);
    EXPECT_EQ(expected[0].rfind("PV ", 0), 0u) << expected[0];
    EXPECT_NE(expected[0], expected[1]);  // the second cycle read the process anew
}

}  // namespace
}  // namespace qt40::cli
