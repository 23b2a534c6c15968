#include "hart/PosixPortCalls.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace qt40 {

int PosixPortCalls::GetModemLines(int fd, int* lines) {
    return ::ioctl(fd, TIOCMGET, lines);
}

int PosixPortCalls::SetModemLines(int fd, bool raise, int lines) {
    return ::ioctl(fd, raise ? TIOCMBIS : TIOCMBIC, &lines);
}

int PosixPortCalls::Drain(int fd) {
    return ::tcdrain(fd);
}

int PosixPortCalls::Flush(int fd, int queue) {
    return ::tcflush(fd, queue);
}

int PosixPortCalls::SetAttributes(int fd, const termios& t) {
    return ::tcsetattr(fd, TCSANOW, &t);
}

ssize_t PosixPortCalls::Write(int fd, const void* bytes, std::size_t n) {
    return ::write(fd, bytes, n);
}

ssize_t PosixPortCalls::Read(int fd, void* bytes, std::size_t n) {
    return ::read(fd, bytes, n);
}

std::shared_ptr<PosixPortCalls> PosixPortCalls::System() {
    static const std::shared_ptr<PosixPortCalls> calls = std::make_shared<PosixPortCalls>();
    return calls;
}

}  // namespace qt40
