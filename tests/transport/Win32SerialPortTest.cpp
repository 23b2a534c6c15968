// The Win32 port. Without a port it checks the failures; with
// QT40_TEST_COM_PORT naming a COM port that has a simulated transmitter at
// address 0 behind it (tests/wine/run maps one onto a pseudo-terminal) it
// carries real exchanges.

#include "transport/Win32SerialPort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "base/Clock.h"
#include "hart/FrameCodec.h"
#include "hart/HartLink.h"
#include "transport/PortOpenAdvice.h"
#include "transport/PortDefinition.h"
#include "link/DataLink.h"
#include "tests/support/StationOver.h"
#include "transport/Win32PortCalls.h"

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
    test::StationOver stack{port, clock, trace, LinkTiming{}};
    DataLink& link = stack.station.Link();
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
        test::StationOver stack{port, clock, trace, LinkTiming{}};
        DataLink& link = stack.station.Link();
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

// The communications calls made to behave as a driver does; the rest go to
// the real port.
class DriverCalls final : public Win32PortCalls {
public:
    enum class FlushMode { AtOnce, Never };
    struct RtsChange {
        bool raised;
        std::int64_t atMs;
    };

    explicit DriverCalls(Clock& clock) : clock_(clock) {}
    ~DriverCalls() override { ReleaseFlush(); }

    std::atomic<bool> carrier{false};
    std::atomic<Dword> statusError{0};  // GetCommModemStatus fails with it
    std::atomic<Dword> readError{0};    // ReadFile fails with it, at once
    std::atomic<Dword> probeError{0};   // ClearCommError fails with it
    std::atomic<FlushMode> flush{FlushMode::AtOnce};
    std::atomic<int> writes{0};

    void ReleaseFlush() {
        const std::lock_guard lock(mutex_);
        released_ = true;
        wake_.notify_all();
    }
    std::vector<RtsChange> Rts() {
        const std::lock_guard lock(mutex_);
        return rts_;
    }

    bool GetModemStatus(Handle, Dword* status) override {
        if (statusError != 0) return Fail(statusError);
        *status = carrier ? MS_RLSD_ON : 0;
        return true;
    }
    bool Flush(Handle port) override {
        if (flush == FlushMode::AtOnce) return true;
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, std::chrono::seconds(20), [&] { return released_; });
        (void)port;
        return true;
    }
    bool Read(Handle port, void* bytes, Dword n, Dword* read) override {
        if (readError != 0) return Fail(readError);
        return Win32PortCalls::Read(port, bytes, n, read);
    }
    bool Write(Handle port, const void* bytes, Dword n, Dword* written) override {
        ++writes;
        return Win32PortCalls::Write(port, bytes, n, written);
    }
    bool Escape(Handle port, Dword function) override {
        if (function == SETRTS || function == CLRRTS) {
            const std::lock_guard lock(mutex_);
            rts_.push_back({function == SETRTS, clock_.NowMs()});
            return true;
        }
        return Win32PortCalls::Escape(port, function);
    }
    bool ClearError(Handle port, Dword* errors) override {
        if (probeError != 0) return Fail(probeError);
        return Win32PortCalls::ClearError(port, errors);
    }

private:
    static bool Fail(Dword error) {
        SetLastError(error);
        return false;
    }

    Clock& clock_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool released_ = false;
    std::vector<RtsChange> rts_;
};

Win32SerialPort::Options With(const std::shared_ptr<DriverCalls>& calls, Clock* clock,
                              int drainMarginMs = 1000) {
    Win32SerialPort::Options options;
    options.calls = calls;
    options.clock = clock;
    options.drainMarginMs = drainMarginMs;
    return options;
}

double ProcessCpuMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ms = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime) /
               10000.0;
    };
    return ms(kernel) + ms(user);
}

TEST(Win32SerialPortTest, TheLineSettingsAreOnesTheSettingsConversionTakes) {
    struct Row {
        const char* line;
        DWORD baud;
        BYTE parity;
    };
    for (const Row& row : {Row{"9600-8N1", 9600, NOPARITY}, Row{"1200-8O1", 1200, ODDPARITY}}) {
        std::string text = LineSetting::FromName(row.line)->Definition();
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        ASSERT_TRUE(BuildCommDCBA(text.data(), &dcb)) << text;
        EXPECT_EQ(dcb.BaudRate, row.baud) << text;
        EXPECT_EQ(dcb.Parity, row.parity) << text;
        EXPECT_EQ(dcb.ByteSize, 8) << text;
        EXPECT_EQ(dcb.StopBits, ONESTOPBIT) << text;
    }
}

// Given a driver that refuses toggle mode and a flush that returns at once
// (FlushFileBuffers waits only for pending writes), when a frame is written,
// then RTS stays up for the frame's bytes and two more characters.
TEST_F(Win32PortOnSimulatorTest, RtsByHandIsHeldForTheFramesWireTime) {
    VirtualClock clock;
    auto calls = std::make_shared<DriverCalls>(clock);
    Win32SerialPort port(With(calls, &clock));
    ASSERT_TRUE(port.Open(path_, 50)) << port.LastError();
    if (!port.RtsByHand()) GTEST_SKIP() << "the driver takes toggle mode";
    const auto request = IdentifyRequest();
    const std::int64_t start = clock.NowMs();
    ASSERT_TRUE(port.Write(request.data(), request.size())) << port.LastError();
    const auto rts = calls->Rts();
    ASSERT_GE(rts.size(), 2u);
    const auto raised = rts[rts.size() - 2];
    const auto dropped = rts.back();
    EXPECT_TRUE(raised.raised);
    EXPECT_FALSE(dropped.raised);
    EXPECT_EQ(raised.atMs, start);
    EXPECT_EQ(dropped.atMs - raised.atMs, LineSetting{}.WireMs(request.size() + 2));
    EXPECT_TRUE(IsIdentifyAnswer(ReadAnswer(port)));
}

// Given a stalled adapter, the write fails within its bound, the next one
// fails at once without reaching the driver, and closing does not wait.
TEST_F(Win32PortOnSimulatorTest, AFlushThatNeverReturnsFailsTheWriteWithinItsBound) {
    SteadyClock clock;
    auto calls = std::make_shared<DriverCalls>(clock);
    calls->flush = DriverCalls::FlushMode::Never;
    constexpr int kMarginMs = 100;
    Win32SerialPort port(With(calls, &clock, kMarginMs));
    ASSERT_TRUE(port.Open(path_, 50)) << port.LastError();
    if (!port.RtsByHand()) GTEST_SKIP() << "the driver takes toggle mode: no flush";
    const auto request = IdentifyRequest();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(port.Write(request.data(), request.size()));
    const auto tookMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - started)
                            .count();
    EXPECT_GE(tookMs, kMarginMs);
    EXPECT_LT(tookMs, 5000) << "the bound did not hold";
    EXPECT_NE(port.LastError().find("did not finish sending"), std::string::npos)
        << port.LastError();
    EXPECT_FALSE(calls->Rts().back().raised) << "RTS left up";
    const int writes = calls->writes;
    EXPECT_FALSE(port.Write(request.data(), request.size()));
    EXPECT_EQ(calls->writes, writes);
    port.Close();
    EXPECT_FALSE(port.IsOpen());
    calls->ReleaseFlush();
}

// Given a USB modem pulled out, the status query fails as on a removed
// device: that is the port gone, not a carrier; other failures still count
// as carrier on.
TEST_F(Win32PortOnSimulatorTest, AStatusQueryFailingAsOnARemovedDeviceIsThePortGone) {
    for (const DWORD error : {ERROR_BAD_COMMAND, ERROR_DEVICE_NOT_CONNECTED, ERROR_ACCESS_DENIED,
                              ERROR_GEN_FAILURE}) {
        SCOPED_TRACE(error);
        SteadyClock clock;
        auto calls = std::make_shared<DriverCalls>(clock);
        Win32SerialPort port(With(calls, &clock));
        ASSERT_TRUE(port.Open(path_, 50)) << port.LastError();
        ASSERT_TRUE(port.HasModemLines());
        EXPECT_EQ(port.Carrier(), CarrierState::Off);
        calls->statusError = error;
        EXPECT_EQ(port.Carrier(), CarrierState::Gone);
        EXPECT_TRUE(port.Vanished());
        // The link ends the exchange at once, nothing written.
        NullTraceSink trace;
        test::StationOver stack{port, clock, trace, LinkTiming::Fast()};
        DataLink& link = stack.station.Link();
        calls->statusError = 0;
        ASSERT_EQ(link.OpenPort(path_), kCommSuccess) << link.LastError();
        calls->statusError = error;
        const int writes = calls->writes;
        EXPECT_EQ(link.Transact(IdentifyRequest()), kCommExchangeFailed);
        EXPECT_EQ(link.LastFailure(), LinkFailure::PortGone);
        EXPECT_EQ(calls->writes, writes);
        link.ClosePort();
    }
    SteadyClock clock;
    auto calls = std::make_shared<DriverCalls>(clock);
    Win32SerialPort port(With(calls, &clock));
    ASSERT_TRUE(port.Open(path_, 50)) << port.LastError();
    calls->statusError = ERROR_SEM_TIMEOUT;
    EXPECT_EQ(port.Carrier(), CarrierState::On);
    EXPECT_FALSE(port.Vanished());
}

// Given a driver whose reads fail at once with ERROR_OPERATION_ABORTED, the
// receive waits its time out without spinning, and the port counts as gone
// only when it does not answer; ERROR_DEVICE_NOT_CONNECTED is gone at once.
TEST_F(Win32PortOnSimulatorTest, AbortedReadsDoNotSpinAndANotConnectedDeviceIsGone) {
    SteadyClock clock;
    auto calls = std::make_shared<DriverCalls>(clock);
    Win32SerialPort port(With(calls, &clock));
    NullTraceSink trace;
    LinkTiming timing;
    timing.readSliceMs = 50;
    test::StationOver stack{port, clock, trace, timing};
    DataLink& link = stack.station.Link();
    ASSERT_EQ(link.OpenPort(path_), kCommSuccess) << link.LastError();
    calls->readError = ERROR_OPERATION_ABORTED;
    const double cpuBefore = ProcessCpuMs();
    EXPECT_EQ(link.ReceiveFrame(), kCommExchangeFailed);
    const double cpuMs = ProcessCpuMs() - cpuBefore;
    EXPECT_LT(cpuMs, 100.0) << "CPU ms over a 500 ms receive of aborted reads";
    EXPECT_FALSE(link.PortGone());
    EXPECT_EQ(link.LastFailure(), LinkFailure::NoAnswer);

    std::uint8_t b = 0;
    calls->probeError = ERROR_BAD_COMMAND;
    EXPECT_EQ(port.ReadByte(b), ReadOutcome::Gone);
    port.Close();

    VirtualClock virtualClock;
    calls = std::make_shared<DriverCalls>(virtualClock);
    Win32SerialPort again(With(calls, &virtualClock));
    ASSERT_TRUE(again.Open(path_, 50)) << again.LastError();
    calls->readError = ERROR_DEVICE_NOT_CONNECTED;
    const std::int64_t start = virtualClock.NowMs();
    EXPECT_EQ(again.ReadByte(b), ReadOutcome::Gone);
    EXPECT_EQ(virtualClock.NowMs(), start) << "waited on a device that is not there";
    EXPECT_TRUE(again.Vanished());
}

}  // namespace
}  // namespace qt40
