#pragma once
// The serial line on the Win32 communications API: 9600 8N1 from a
// definition text, DTR enabled, RTS raised by the driver while it transmits
// (toggle mode), one-byte reads that return within the read slice. A driver
// that refuses toggle mode gets RTS raised by hand around each write; one
// that cannot report the modem lines (a virtual port, Wine on a
// pseudo-terminal) has no carrier line, as a pseudo-terminal on Linux.

#include <string>

#include "hart/SerialPort.h"

namespace qt40 {

class Win32SerialPort final : public SerialPort {
public:
    Win32SerialPort() = default;
    ~Win32SerialPort() override;
    Win32SerialPort(const Win32SerialPort&) = delete;
    Win32SerialPort& operator=(const Win32SerialPort&) = delete;

    // `path` is the device path ("\\.\COM3").
    bool Open(const std::string& path, int readSliceMs) override;
    void Close() override;
    bool IsOpen() const override { return handle_ != nullptr; }

    CarrierState Carrier() override;
    void PurgeInput() override;
    void PurgeOutput() override;
    bool Write(const std::uint8_t* bytes, std::size_t n) override;
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

    void* handle_ = nullptr;  // HANDLE; null while closed
    std::string path_;
    bool gone_ = false;
    bool rtsByHand_ = false;      // toggle mode refused, RTS can be set by hand
    bool hasModemLines_ = false;  // the modem status can be read
    std::string lastError_;
    OpenError openError_;
};

}  // namespace qt40
