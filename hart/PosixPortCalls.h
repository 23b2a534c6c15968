#pragma once
// The system calls of the termios port that a driver decides the outcome
// of: the modem-status and modem-line ioctls, tcdrain, tcflush, tcsetattr,
// read and write. The port makes them through here, so that tests can make
// them behave as a driver does (EIO after an unplug, a drain that returns at
// once or never). Each returns as its system call does, with errno set.

#include <sys/types.h>
#include <termios.h>

#include <cstddef>
#include <memory>

namespace qt40 {

class PosixPortCalls {
public:
    virtual ~PosixPortCalls() = default;

    virtual int GetModemLines(int fd, int* lines);             // ioctl TIOCMGET
    virtual int SetModemLines(int fd, bool raise, int lines);  // TIOCMBIS, TIOCMBIC
    virtual int Drain(int fd);                                 // tcdrain
    virtual int Flush(int fd, int queue);                      // tcflush
    virtual int SetAttributes(int fd, const termios& t);       // tcsetattr, TCSANOW
    virtual ssize_t Write(int fd, const void* bytes, std::size_t n);
    virtual ssize_t Read(int fd, void* bytes, std::size_t n);

    // The real calls, shared by every port that is given none.
    static std::shared_ptr<PosixPortCalls> System();
};

}  // namespace qt40
