// The termios port against the simulated transmitter on a pseudo-terminal.

#include "transport/PosixSerialPort.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

#include "tests/support/PtyFixture.h"

namespace qt40 {
namespace {

using testing::IdentifyRequest;
using testing::ReadAnswer;
using testing::StartSimulator;

TEST(PosixSerialPortTest, PortNamesWithoutASlashAreDeviceNodes) {
    struct Row {
        const char* name;
        const char* path;
    };
    for (const Row& row : {Row{"ttyS0", "/dev/ttyS0"}, Row{"ttyUSB1", "/dev/ttyUSB1"},
                           Row{"/dev/pts/4", "/dev/pts/4"}, Row{"/tmp/x", "/tmp/x"}}) {
        EXPECT_EQ(PosixSerialPort::DevicePath(row.name), row.path) << row.name;
    }
}

TEST(PosixSerialPortTest, OpenFailureLeavesTheSystemsReason) {
    PosixSerialPort port;
    EXPECT_FALSE(port.Open("/dev/qt40-no-such-port", 100));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_NE(port.LastError().find("No such file"), std::string::npos) << port.LastError();
}

TEST(PosixSerialPortTest, AFileThatIsNoTerminalIsRefused) {
    PosixSerialPort port;
    EXPECT_FALSE(port.Open("/dev/null", 100));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.LastError().empty());
}

TEST(PosixSerialPortTest, PseudoTerminalHasNoCarrierLine) {
    auto server = StartSimulator();
    PosixSerialPort port;
    ASSERT_TRUE(port.Open(server->SlavePath(), 100)) << port.LastError();
    EXPECT_FALSE(port.HasModemLines());
    EXPECT_EQ(port.Carrier(), CarrierState::NoLine);
}

TEST(PosixSerialPortTest, ReadSliceEndsWithNothingOnASilentLine) {
    auto server = StartSimulator();
    PosixSerialPort port;
    ASSERT_TRUE(port.Open(server->SlavePath(), 100));
    std::uint8_t b = 0;
    EXPECT_EQ(port.ReadByte(b), ReadOutcome::Nothing);
    EXPECT_EQ(port.ReadByte(b), ReadOutcome::Nothing);
}

TEST(PosixSerialPortTest, AnswerArrivesWithPreamblesIntact) {
    // The line discipline doubles every FF under PARMRK; the port must undo it.
    auto server = StartSimulator(3);
    PosixSerialPort port;
    ASSERT_TRUE(port.Open(server->SlavePath(), 50));
    const auto request = IdentifyRequest(3);
    ASSERT_TRUE(port.Write(request.data(), request.size()));
    const auto answer = ReadAnswer(port);
    ASSERT_FALSE(answer.gone);
    EXPECT_EQ(answer.errorBytes, 0);
    ASSERT_GE(answer.bytes.size(), 8u);
    const auto frame = std::find_if(answer.bytes.begin(), answer.bytes.end(),
                                    [](std::uint8_t b) { return b != 0xFF; });
    EXPECT_EQ(frame - answer.bytes.begin(), 5) << "five preambles";
    HartLink link;
    EXPECT_TRUE(
        DecodeResponseFrame(link, {&*frame, static_cast<std::size_t>(answer.bytes.end() - frame)}));
    EXPECT_EQ(*frame, 0x06);
    EXPECT_EQ(frame[1] & 0x3F, 3);
}

TEST(PosixSerialPortTest, PurgeDropsAnAnswerNotYetRead) {
    auto server = StartSimulator();
    PosixSerialPort port;
    ASSERT_TRUE(port.Open(server->SlavePath(), 50));
    const auto request = IdentifyRequest(0);
    ASSERT_TRUE(port.Write(request.data(), request.size()));
    // The first byte in means the whole answer has reached the input queue.
    std::uint8_t first = 0;
    ReadOutcome got = ReadOutcome::Nothing;
    for (int slice = 0; slice < 100 && got == ReadOutcome::Nothing; ++slice) {
        got = port.ReadByte(first);
    }
    ASSERT_EQ(got, ReadOutcome::Byte);
    // Anything left in the input queue goes; the next slice is silent.
    port.PurgeInput();
    std::uint8_t b = 0;
    EXPECT_EQ(port.ReadByte(b), ReadOutcome::Nothing);
}

TEST(PosixSerialPortTest, ClosedAndReopenedPortStillTalks) {
    auto server = StartSimulator();
    PosixSerialPort port;
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(port.Open(server->SlavePath(), 50)) << round << ": " << port.LastError();
        const auto request = IdentifyRequest(0);
        ASSERT_TRUE(port.Write(request.data(), request.size()));
        EXPECT_GE(ReadAnswer(port).bytes.size(), 8u) << round;
        port.Close();
        EXPECT_FALSE(port.IsOpen());
    }
    EXPECT_EQ(server->RequestCount(), 3u);
}

TEST(PosixSerialPortTest, VanishedLineIsGoneAtOnceAndStaysGone) {
    auto server = StartSimulator();
    PosixSerialPort port;
    ASSERT_TRUE(port.Open(server->SlavePath(), 100));
    server->Stop();
    std::uint8_t b = 0;
    EXPECT_EQ(port.ReadByte(b), ReadOutcome::Gone);
    EXPECT_EQ(port.ReadByte(b), ReadOutcome::Gone);
    const auto request = IdentifyRequest(0);
    EXPECT_FALSE(port.Write(request.data(), request.size()));
    EXPECT_FALSE(port.LastError().empty());

    // A new line (the modem plugged in again) opens on the same object.
    auto again = StartSimulator();
    ASSERT_TRUE(port.Open(again->SlavePath(), 50)) << port.LastError();
    ASSERT_TRUE(port.Write(request.data(), request.size()));
    EXPECT_GE(ReadAnswer(port).bytes.size(), 8u);
}

TEST(PosixSerialPortTest, ReadingAClosedPortIsGoneNotABusyLoop) {
    PosixSerialPort port;
    std::uint8_t b = 0;
    EXPECT_EQ(port.ReadByte(b), ReadOutcome::Gone);
    EXPECT_FALSE(port.Write(&b, 1));
}

TEST(PosixSerialPortTest, SecondOpenOfAnOpenPortIsRefused) {
    // The lock taken beside the exclusive mark binds root too.
    auto server = StartSimulator();
    PosixSerialPort first;
    PosixSerialPort second;
    ASSERT_TRUE(first.Open(server->SlavePath(), 50));
    EXPECT_FALSE(second.Open(server->SlavePath(), 50));
    EXPECT_EQ(second.LastOpenError().kind, OpenFailure::Busy);
    first.Close();
    EXPECT_TRUE(second.Open(server->SlavePath(), 50)) << second.LastError();
}

}  // namespace
}  // namespace qt40
