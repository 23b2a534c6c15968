// The Win32 port. Without a port it checks the failures; with
// QT40_TEST_COM_PORT naming a COM port that has a simulated transmitter at
// address 0 behind it (tests/wine/run maps one onto a pseudo-terminal) it
// carries real exchanges.

#include "hart/Win32SerialPort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "hart/Clock.h"
#include "hart/FrameCodec.h"
#include "hart/HartLink.h"
#include "hart/PortOpenAdvice.h"
#include "hart/SerialLink.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace qt40 {
namespace {

std::string DevicePathFromEnvironment() {
    const char* name = std::getenv("QT40_TEST_COM_PORT");
    return name && *name ? std::string("\\\\.\\") + name : std::string();
}

bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

std::vector<std::uint8_t> IdentifyRequest() {
    HartLink link;
    link.pollingAddress = 0;
    link.command = 0;
    link.byteCount = 0;
    std::vector<std::uint8_t> frame(kMaxFrameSize + 8);
    frame.resize(BuildRequestFrame(link, frame));
    return frame;
}

// Every byte until three read slices in a row bring nothing.
std::vector<std::uint8_t> ReadAnswer(SerialPort& port) {
    std::vector<std::uint8_t> bytes;
    for (int silent = 0; silent < 3;) {
        std::uint8_t b = 0;
        const ReadOutcome got = port.ReadByte(b);
        if (got == ReadOutcome::Gone) break;
        if (got == ReadOutcome::Byte) bytes.push_back(b);
        silent = got == ReadOutcome::Nothing ? silent + 1 : 0;
    }
    return bytes;
}

// Decodes the frame behind the preambles.
bool IsIdentifyAnswer(const std::vector<std::uint8_t>& bytes) {
    const auto frame =
        std::find_if(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b != 0xFF; });
    if (frame - bytes.begin() < 2 || frame == bytes.end() || *frame != 0x06) return false;
    HartLink link;
    return DecodeResponseFrame(link, {&*frame, static_cast<std::size_t>(bytes.end() - frame)});
}

TEST(Win32SerialPortTest, OpenFailuresLeaveAReasonAndTheirKind) {
    const auto folder = std::filesystem::temp_directory_path();
    const auto file = folder / "qt40-not-a-port.txt";
    const auto held = folder / "qt40-held.txt";
    std::ofstream(file) << "x";
    std::ofstream(held) << "x";
    // Held as another program holds a COM port: no sharing.
    const HANDLE holder = CreateFileW(held.wstring().c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    struct Row {
        std::string path;
        const char* reason;
        OpenFailure kind;
    };
    const Row rows[] = {
        {"\\\\.\\COM250", "cannot open", OpenFailure::Missing},
        {(folder / "qt40-no-such-folder" / "COM1").string(), "cannot open", OpenFailure::Missing},
        {held.string(), "cannot open", OpenFailure::Busy},
        {file.string(), "cannot read the port settings", OpenFailure::Other},
    };
    for (const Row& row : rows) {
        Win32SerialPort port;
        EXPECT_FALSE(port.Open(row.path, 100)) << row.path;
        EXPECT_FALSE(port.IsOpen()) << row.path;
        EXPECT_NE(port.LastError().find(row.reason), std::string::npos) << port.LastError();
        EXPECT_EQ(port.LastError().rfind(row.path, 0), 0u) << port.LastError();
        EXPECT_EQ(port.LastOpenError().kind, row.kind) << row.path;
        EXPECT_EQ(port.LastOpenError().device, row.path);
    }
    CloseHandle(holder);
    // Let go, the same file opens as far as the settings.
    Win32SerialPort port;
    EXPECT_FALSE(port.Open(held.string(), 100));
    EXPECT_EQ(port.LastOpenError().kind, OpenFailure::Other) << port.LastError();
    std::filesystem::remove(file);
    std::filesystem::remove(held);
}

TEST(Win32SerialPortTest, PortAdviceOnWindowsNamesThePortAndNoUnixGroup) {
    struct Row {
        std::string path;
        const char* key;
        const char* says;
    };
    const auto held = std::filesystem::temp_directory_path() / "qt40-held-advice.txt";
    std::ofstream(held) << "x";
    const HANDLE holder = CreateFileW(held.wstring().c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const Row rows[] = {
        {"\\\\.\\COM250", "Err_Port_Missing", "There is no port \\\\.\\COM250."},
        {held.string(), "Err_Port_Busy", " is in use by another program."},
    };
    for (const Row& row : rows) {
        Win32SerialPort port;
        ASSERT_FALSE(port.Open(row.path, 100)) << row.path;
        const auto advice = PortOpenAdvice(port.LastOpenError());
        ASSERT_TRUE(advice.has_value()) << row.path;
        EXPECT_EQ(advice->key, row.key);
        const std::string text = PortAdviceEnglish(*advice);
        EXPECT_NE(text.find(row.says), std::string::npos) << text;
        EXPECT_EQ(text.find("group"), std::string::npos) << text;
        EXPECT_EQ(text.find("usermod"), std::string::npos) << text;
    }
    // The link, as the window program and the CLI open a port, hands the kind on.
    Win32SerialPort port;
    SteadyClock clock;
    NullTraceSink trace;
    SerialLink link(port, clock, trace, LinkTiming{});
    ASSERT_EQ(link.OpenPort("COM250"), kCommPortNotOpened);
    EXPECT_EQ(link.LastOpenError().kind, OpenFailure::Missing);
    EXPECT_EQ(link.LastOpenError().device, "\\\\.\\COM250");
    CloseHandle(holder);
    std::filesystem::remove(held);
}

TEST(Win32SerialPortTest, LinkOpensPortNamesThroughTheDevicePath) {
    struct Row {
        const char* definition;
        CommResult result;
        const char* opened;  // the path the port was opened with
    };
    const Row rows[] = {
        {"COM250: baud=9600 parity=N data=8 stop=1", kCommPortNotOpened, "\\\\.\\COM250:"},
        {"COM9", kCommPortNotOpened, "\\\\.\\COM9:"},
        // As the port list shows ports from COM10 on: not prefixed twice.
        {"\\\\.\\COM251", kCommPortNotOpened, "\\\\.\\COM251:"},
        {":::", kCommNoPortName, ""},
    };
    for (const Row& row : rows) {
        Win32SerialPort port;
        SteadyClock clock;
        NullTraceSink trace;
        SerialLink link(port, clock, trace, LinkTiming{});
        EXPECT_EQ(link.OpenPort(row.definition), row.result) << row.definition;
        EXPECT_EQ(link.LastError().rfind(row.opened, 0), 0u) << link.LastError();
    }
}

TEST(Win32SerialPortTest, ClosedPortIsGoneNotABusyLoop) {
    Win32SerialPort port;
    std::uint8_t b = 0;
    EXPECT_EQ(port.ReadByte(b), ReadOutcome::Gone);
    EXPECT_FALSE(port.Write(&b, 1));
    EXPECT_FALSE(port.ClearError());
}

class Win32PortOnSimulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = DevicePathFromEnvironment();
        if (path_.empty()) GTEST_SKIP() << "QT40_TEST_COM_PORT names no port";
    }
    std::string path_;
};

TEST_F(Win32PortOnSimulatorTest, PortWithoutModemLinesHasNoCarrierLine) {
    Win32SerialPort port;
    ASSERT_TRUE(port.Open(path_, 100)) << port.LastError();
    // Wine on a pseudo-terminal refuses toggle mode and the modem status.
    EXPECT_EQ(port.Carrier() == CarrierState::NoLine, !port.HasModemLines());
    if (std::getenv("QT40_TEST_COM_NO_LINES")) {
        EXPECT_FALSE(port.HasModemLines());
        EXPECT_FALSE(port.RtsByHand());
    }
    std::uint8_t b = 0;
    EXPECT_EQ(port.ReadByte(b), ReadOutcome::Nothing) << "a silent line";
}

TEST_F(Win32PortOnSimulatorTest, AnswerArrivesWithPreamblesIntact) {
    Win32SerialPort port;
    ASSERT_TRUE(port.Open(path_, 50)) << port.LastError();
    const auto request = IdentifyRequest();
    ASSERT_TRUE(port.Write(request.data(), request.size())) << port.LastError();
    const auto answer = ReadAnswer(port);
    EXPECT_TRUE(IsIdentifyAnswer(answer)) << answer.size() << " bytes";
    EXPECT_FALSE(port.ClearError()) << "no line error on a clean exchange";
}

TEST_F(Win32PortOnSimulatorTest, PurgeDropsAnAnswerNotYetRead) {
    Win32SerialPort port;
    ASSERT_TRUE(port.Open(path_, 50)) << port.LastError();
    const auto request = IdentifyRequest();
    ASSERT_TRUE(port.Write(request.data(), request.size()));
    std::uint8_t first = 0;
    ReadOutcome got = ReadOutcome::Nothing;
    for (int slice = 0; slice < 100 && got == ReadOutcome::Nothing; ++slice) {
        got = port.ReadByte(first);
    }
    ASSERT_EQ(got, ReadOutcome::Byte);
    port.PurgeInput();
    std::uint8_t b = 0;
    EXPECT_EQ(port.ReadByte(b), ReadOutcome::Nothing);
}

TEST_F(Win32PortOnSimulatorTest, ClosedAndReopenedPortStillTalks) {
    Win32SerialPort port;
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(port.Open(path_, 50)) << round << ": " << port.LastError();
        const auto request = IdentifyRequest();
        ASSERT_TRUE(port.Write(request.data(), request.size()));
        EXPECT_TRUE(IsIdentifyAnswer(ReadAnswer(port))) << round;
        port.Close();
        EXPECT_FALSE(port.IsOpen());
    }
}

TEST_F(Win32PortOnSimulatorTest, SecondOpenOfAnOpenPortIsRefused) {
    if (RunningUnderWine()) GTEST_SKIP() << "Wine lets a COM port be opened twice";
    Win32SerialPort first;
    Win32SerialPort second;
    ASSERT_TRUE(first.Open(path_, 50)) << first.LastError();
    EXPECT_FALSE(second.Open(path_, 50));
    first.Close();
    EXPECT_TRUE(second.Open(path_, 50)) << second.LastError();
}

}  // namespace
}  // namespace qt40
