#pragma once
// The serial line on termios: raw, the line set as told (9600 8N1 unless
// told otherwise), DTR up while open, RTS up only while a frame goes out.
// Line errors are read through PARMRK marks, so a framing or parity error or
// a break is reported as ErrorByte instead of as data.

#include <cstdint>
#include <memory>
#include <string>

#include "transport/BoundedCall.h"
#include "base/Clock.h"
#include "transport/PosixPortCalls.h"
#include "transport/SerialPort.h"

namespace qt40 {

class PosixSerialPort final : public SerialPort {
public:
    struct Options {
        std::shared_ptr<PosixPortCalls> calls;  // null: the system's
        Clock* clock = nullptr;                 // null: the steady clock
        // How long a drain may take beyond the frame's time on the wire.
        int drainMarginMs = 1000;
    };

    PosixSerialPort() : PosixSerialPort(Options{}) {}
    explicit PosixSerialPort(Options options);
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    // A name without a leading '/' is taken as a node under /dev. The port is
    // opened exclusively: TIOCEXCL keeps other users out, and an flock()
    // that root is bound by too, so a port in use is refused as Busy. A port whose modem status
    // cannot be queried (ENOTTY, EINVAL: a pseudo-terminal, some USB adapters) is used without
    // modem lines.
    bool Open(const std::string& path, int readSliceMs) override;
    void SetLine(const LineSetting& line) override { line_ = line; }
    void Close() override;
    bool IsOpen() const override { return fd_ >= 0; }

    // NoLine for a port without modem lines; Gone when the query fails with
    // EIO, ENXIO or ENODEV (a hung-up tty answers every ioctl so); On when it
    // fails otherwise.
    CarrierState Carrier() override;
    void PurgeInput() override;
    void PurgeOutput() override;
    // RTS stays up until the drain has returned and the frame's bytes and two
    // more characters have had their time on the wire since the write began,
    // whatever the driver says: many USB adapters report the transmitter
    // empty while the frame is still in the chip. A drain that does not
    // return within the frame's time plus the drain margin fails the write,
    // and the next write fails at once while it still has not returned.
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
    // Records `error` of `what`; marks the port gone when the error says so.
    void Failed(const std::string& what, int error);
    // Records why the open of path_ failed with `error`.
    void ClassifyOpenFailure(int error);
    bool SetRts(bool on);
    // tcdrain, bounded; true when it returned without an error.
    bool Drain(std::size_t n);

    std::shared_ptr<PosixPortCalls> calls_;
    SteadyClock steadyClock_;
    Clock* clock_;
    int drainMarginMs_;
    BoundedCall drain_;
    LineSetting line_;
    int fd_ = -1;
    std::string path_;
    int readSliceMs_ = 100;
    bool hasModemLines_ = false;
    bool gone_ = false;
    std::string lastError_;
    OpenError openError_;
};

}  // namespace qt40
