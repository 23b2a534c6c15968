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
#include "hart/DeviceState.h"

namespace qt40::cli {
namespace {

std::vector<std::string> LinesOf(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(SimValueLog, WritesTheValuesOfEveryAnswerTheMasterCouldAccept) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("sim.values").toStdString();
    SimValueLog log;
    ASSERT_TRUE(log.Open(path));
    sim::SimDevice device;
    DeviceState master;  // decodes what it is sent, as the worker does
    std::vector<std::string> expected;

    // Given poll cycles whose answers come whole, with noise, damaged or dropped...
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
            (command == 2 || command == 3)) {
            const std::string line = RecordPrinter::MonitorLine(master.record, master.link.deviceStatus);
            // "PV x u  PV% y %  Term. z u  AO w mA  status 0x00"
            std::vector<std::string> parts;
            std::size_t at = 0;
            for (std::size_t end; (end = line.find("  ", at)) != std::string::npos; at = end + 2) {
                parts.push_back(line.substr(at, end - at));
            }
            expected.push_back(command == 3 ? "3|" + parts[0] + "|" + parts[2]
                                            : "2|" + parts[1] + "|" + parts[3]);
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

    // ...then a line is written for every answer of commands 3 and 2 the
    // master could accept, and no other.
    ASSERT_EQ(expected.size(), 6u);
    EXPECT_EQ(LinesOf(path), expected);
    EXPECT_EQ(log.Lines(), 6u);
    EXPECT_EQ(expected[0].rfind("3|PV ", 0), 0u) << expected[0];
    EXPECT_NE(expected[2].find("|Term. "), std::string::npos) << expected[2];
    EXPECT_EQ(expected[1].rfind("2|PV% ", 0), 0u) << expected[1];
    EXPECT_NE(expected[1].find("|AO "), std::string::npos) << expected[1];
    EXPECT_NE(expected[0], expected[2]);  // the process was read anew
}

}  // namespace
}  // namespace qt40::cli
