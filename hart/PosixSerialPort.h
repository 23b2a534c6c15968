#pragma once
// The serial line on termios: 9600 8N1 raw, DTR up while open, RTS up only
// while a frame goes out. Line errors are read through PARMRK marks, so a
// framing error or a break is reported as ErrorByte instead of as data.

#include <cstdint>
#include <string>

#include "hart/SerialPort.h"

namespace qt40 {

class PosixSerialPort final : public SerialPort {
public:
    PosixSerialPort() = default;
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    // A name without a leading '/' is taken as a node under /dev. The port is
    // opened exclusively: TIOCEXCL keeps other users out, and an flock()
    // that root is bound by too, so a port in use is refused as Busy. A port whose modem status
    // cannot be queried (ENOTTY, EINVAL: a pseudo-terminal, some USB adapters) is used without
    // modem lines.
    bool Open(const std::string& path, int readSliceMs) override;
    void Close() override;
    bool IsOpen() const override { return fd_ >= 0; }

    // NoLine for a port without modem lines; On when the query fails otherwise.
    CarrierState Carrier() override;
    void PurgeInput() override;
    void PurgeOutput() override;
    bool Write(const std::uint8_t* bytes, std::size_t n) override;
    // Nothing after one read slice; Gone at once (and from then on) when the
    // device vanished: hang-up, EIO, ENODEV, ENXIO or end of file.
    ReadOutcome ReadByte(std::uint8_t& byte) override;
    // Line errors come with their byte as ErrorByte; nothing stays pending,
    // so this only reports false.
    bool ClearError() override { return false; }
    bool Vanished() const override { return gone_; }

    std::string LastError() const override { return lastError_; }
    OpenError LastOpenError() const override { return openError_; }

    bool HasModemLines() const { return hasModemLines_; }
    // The device node a port name stands for.
    static std::string DevicePath(const std::string& name);

private:
    enum class Raw { Byte, Nothing, Gone };
    // One byte from the driver within `timeoutMs`.
    Raw ReadRaw(std::uint8_t& byte, int timeoutMs);
    void Fail(const std::string& what, int error);
    // Records why the open of path_ failed with `error`.
    void ClassifyOpenFailure(int error);
    void SetRts(bool on);

    int fd_ = -1;
    std::string path_;
    int readSliceMs_ = 100;
    bool hasModemLines_ = false;
    bool gone_ = false;
    std::string lastError_;
    OpenError openError_;
};

}  // namespace qt40
