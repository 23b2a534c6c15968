#pragma once
// The serial line as the link needs it: exact control of DTR and RTS, the
// carrier-detect input, one-byte reads that return within a read slice,
// purging and the error state. Implemented on termios, on Win32, and in memory.

#include <cstddef>
#include <cstdint>
#include <string>

#include "LineSetting.h"

namespace qt40 {

enum class ReadOutcome {
    Byte,       // one byte arrived
    ErrorByte,  // a byte arrived with a line error: dropped, but the line was active
    Nothing,    // the read slice passed without a byte
    Gone,       // the port vanished (a USB modem unplugged): give the exchange up at once
};

// Why a port would not open, where the system tells the cases apart; each
// has its own advice for the user.
enum class OpenFailure {
    None,
    Other,    // see LastError()
    Missing,  // no such device
    Denied,   // the user may not open it
    Busy,     // another program holds it
};

struct OpenError {
    OpenFailure kind = OpenFailure::None;
    std::string device;  // the path that was opened
    std::string group;   // Denied: the group that owns the device node, when known
};

enum class CarrierState {
    Off,
    On,      // also a failed status query on a port that has the lines
    NoLine,  // the port has no modem-control lines (a pseudo-terminal)
    Gone,    // the query failed as it does on a device that was unplugged
};

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens and configures the line set by SetLine (9600 8N1 unless told
    // otherwise), raises DTR, read slice `readSliceMs`. On failure returns
    // false and leaves a readable reason in LastError().
    virtual bool Open(const std::string& path, int readSliceMs) = 0;
    // The line the next Open configures; a port without line settings
    // ignores it.
    virtual void SetLine(const LineSetting& line) { (void)line; }
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    virtual CarrierState Carrier() = 0;
    virtual void PurgeInput() = 0;
    virtual void PurgeOutput() = 0;
    // Writes every byte (RTS raised only while transmitting, where the port has
    // the line, and held until the last byte is on the wire). False when the
    // write fails, is short, or the driver does not finish it in time.
    virtual bool Write(const std::uint8_t* bytes, std::size_t n) = 0;
    // Waits at most one read slice for one byte.
    virtual ReadOutcome ReadByte(std::uint8_t& byte) = 0;
    // Clears the port's error state; true when an error was pending.
    virtual bool ClearError() = 0;

    virtual std::string LastError() const = 0;
    // What kind of failure the last Open ended with (None after a success).
    virtual OpenError LastOpenError() const { return {}; }
    // True once the port has reported that it is gone (any call to the
    // driver failed with EIO, ENODEV or the like); reopening clears it.
    virtual bool Vanished() const { return false; }
};

}  // namespace qt40
