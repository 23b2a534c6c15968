#pragma once
// The serial line on the Win32 communications API: the line set as told
// (9600 8N1 unless told otherwise) from a definition text, DTR enabled, RTS
// raised by the driver while it transmits (toggle mode), one-byte reads that
// return within the read slice. A driver that refuses toggle mode gets RTS
// raised by hand around each write; one that cannot report the modem lines
// (a virtual port, Wine on a pseudo-terminal) has no carrier line, as a
// pseudo-terminal on Linux.

#include <memory>
#include <string>

#include "transport/BoundedCall.h"
#include "base/Clock.h"
#include "transport/SerialPort.h"
#include "transport/Win32PortCalls.h"

namespace qt40 {

class Win32SerialPort final : public SerialPort {
public:
    struct Options {
        std::shared_ptr<Win32PortCalls> calls;  // null: the system's
        Clock* clock = nullptr;                 // null: the steady clock
        // How long a flush may take beyond the frame's time on the wire.
        int drainMarginMs = 1000;
    };

    Win32SerialPort() : Win32SerialPort(Options{}) {}
    explicit Win32SerialPort(Options options);
    ~Win32SerialPort() override;
    Win32SerialPort(const Win32SerialPort&) = delete;
    Win32SerialPort& operator=(const Win32SerialPort&) = delete;

    // `path` is the device path ("\\.\COM3"). Writes are bounded by a
    // time-out of twice the frame's time on the wire plus a second, so a
    // stalled driver fails the write instead of holding it for ever.
    bool Open(const std::string& path, int readSliceMs) override;
    void SetLine(const LineSetting& line) override { line_ = line; }
    void Close() override;
    bool IsOpen() const override { return handle_ != nullptr; }

    // Gone when the status query fails as on a removed device.
    CarrierState Carrier() override;
    void PurgeInput() override;
    void PurgeOutput() override;
    // With RTS by hand, RTS stays up until the flush has returned and the
    // frame's bytes and two more characters have had their time on the wire
    // since the write began: FlushFileBuffers only waits for pending writes.
    // A flush that does not return within the frame's time plus the drain
    // margin fails the write.
    bool Write(const std::uint8_t* bytes, std::size_t n) override;
    // A read that fails without saying the device is gone (995, which some
    // drivers give now and then on a live port), or that returns at once
    // without a byte, sleeps out its slice and asks the port whether it is
    // still there, so the receive never spins.
    ReadOutcome ReadByte(std::uint8_t& byte) override;
    bool ClearError() override;
    bool Vanished() const override { return gone_; }
    std::string LastError() const override { return lastError_; }
    OpenError LastOpenError() const override { return openError_; }

    // How the open port turned out; for tests and the trace.
    bool RtsByHand() const { return rtsByHand_; }
    bool HasModemLines() const { return hasModemLines_; }

private:
    void Fail(const std::string& what);
    // Records the failure of `what` with `error`; marks the port gone when
    // the error says the device went away.
    void Failed(const std::string& what, unsigned long error);
    // FlushFileBuffers, bounded; true when it returned without an error.
    bool Flush(std::size_t n);
    void SleepRestOfSlice(std::int64_t startMs);

    std::shared_ptr<Win32PortCalls> calls_;
    SteadyClock steadyClock_;
    Clock* clock_;
    int drainMarginMs_;
    BoundedCall flush_;
    LineSetting line_;
    void* handle_ = nullptr;  // HANDLE; null while closed
    std::string path_;
    int readSliceMs_ = 100;
    bool gone_ = false;
    bool rtsByHand_ = false;      // toggle mode refused, RTS can be set by hand
    bool hasModemLines_ = false;  // the modem status can be read
    bool pendingLineError_ = false;  // seen by a probe, reported by ClearError
    std::string lastError_;
    OpenError openError_;
};

}  // namespace qt40
