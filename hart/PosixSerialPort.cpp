#include "hart/PosixSerialPort.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace qt40 {

namespace {

// Errors that mean the device itself is no longer there.
bool IsGoneError(int error) {
    return error == EIO || error == ENODEV || error == ENXIO;
}

std::int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int Remaining(std::int64_t deadline) {
    const std::int64_t left = deadline - NowMs();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

PosixSerialPort::~PosixSerialPort() {
    Close();
}

std::string PosixSerialPort::DevicePath(const std::string& name) {
    if (!name.empty() && name.front() == '/') return name;
    return "/dev/" + name;
}

void PosixSerialPort::Fail(const std::string& what, int error) {
    lastError_ = path_ + ": " + what + ": " + std::strerror(error);
}

void PosixSerialPort::ClassifyOpenFailure(int error) {
    openError_ = {OpenFailure::Other, path_, {}};
    switch (error) {
        case ENOENT:
        case ENOTDIR:
        case ENXIO:  // a node left behind by an unplugged adapter
        case ENODEV:
            openError_.kind = OpenFailure::Missing;
            break;
        case EACCES:
        case EPERM: {
            openError_.kind = OpenFailure::Denied;
            struct stat st {};
            if (stat(path_.c_str(), &st) == 0) {
                // Joining root's group is no advice; the caller names dialout then.
                const group* g = st.st_gid != 0 ? ::getgrgid(st.st_gid) : nullptr;
                if (g != nullptr) openError_.group = g->gr_name;
            }
            break;
        }
        case EBUSY:
        case EWOULDBLOCK:
            openError_.kind = OpenFailure::Busy;
            break;
        default:
            break;
    }
}

bool PosixSerialPort::Open(const std::string& path, int readSliceMs) {
    Close();
    path_ = DevicePath(path);
    lastError_.clear();
    gone_ = false;
    readSliceMs_ = readSliceMs > 0 ? readSliceMs : 1;
    openError_ = {};

    // Non-blocking: every wait is a poll() with its own limit.
    fd_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        const int error = errno;
        Fail("cannot open", error);
        ClassifyOpenFailure(error);
        return false;
    }
    // TIOCEXCL does not stop root; the lock does, for every program that
    // takes it as we do.
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        lastError_ = path_ + ": cannot open: in use by another program";
        ClassifyOpenFailure(EWOULDBLOCK);
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    auto fail = [&](const char* what) {
        Fail(what, errno);
        openError_ = {OpenFailure::Other, path_, {}};
        ::close(fd_);
        fd_ = -1;
        return false;
    };
    // Not shared with another program; not every driver supports it.
    (void)::ioctl(fd_, TIOCEXCL);

    termios t{};
    if (::tcgetattr(fd_, &t) != 0) return fail("not a serial port");
    ::cfmakeraw(&t);
    // Framing errors and breaks come as FF 00 x, a real FF as FF FF.
    t.c_iflag &= ~(IGNPAR | IGNBRK | BRKINT | ISTRIP | IXON | IXOFF | IXANY);
    t.c_iflag |= PARMRK | INPCK;
    t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (::cfsetispeed(&t, B9600) != 0 || ::cfsetospeed(&t, B9600) != 0) {
        return fail("cannot set 9600 baud");
    }
    if (::tcsetattr(fd_, TCSANOW, &t) != 0) return fail("cannot configure the port");

    int status = 0;
    if (::ioctl(fd_, TIOCMGET, &status) == 0) {
        hasModemLines_ = true;
    } else {
        // A pseudo-terminal has no modem lines; any other failure still
        // counts as a port that has them.
        hasModemLines_ = !(errno == ENOTTY || errno == EINVAL);
    }
    if (hasModemLines_) {
        const int dtr = TIOCM_DTR;
        const int rts = TIOCM_RTS;
        (void)::ioctl(fd_, TIOCMBIS, &dtr);
        (void)::ioctl(fd_, TIOCMBIC, &rts);
    }
    ::tcflush(fd_, TCIOFLUSH);
    return true;
}

void PosixSerialPort::Close() {
    if (fd_ < 0) return;
    if (hasModemLines_ && !gone_) SetRts(false);
    // The exclusive mark outlives this descriptor when someone else keeps the
    // port open (the simulator does), and would refuse our own reopen.
    (void)::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
    hasModemLines_ = false;
}

void PosixSerialPort::SetRts(bool on) {
    const int rts = TIOCM_RTS;
    (void)::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &rts);
}

CarrierState PosixSerialPort::Carrier() {
    if (fd_ >= 0 && !hasModemLines_) return CarrierState::NoLine;
    int status = 0;
    if (fd_ < 0 || ::ioctl(fd_, TIOCMGET, &status) != 0) return CarrierState::On;
    return (status & TIOCM_CD) ? CarrierState::On : CarrierState::Off;
}

void PosixSerialPort::PurgeInput() {
    if (fd_ >= 0) ::tcflush(fd_, TCIFLUSH);
}

void PosixSerialPort::PurgeOutput() {
    if (fd_ >= 0) ::tcflush(fd_, TCOFLUSH);
}

bool PosixSerialPort::Write(const std::uint8_t* bytes, std::size_t n) {
    if (fd_ < 0) {
        lastError_ = path_ + ": not open";
        return false;
    }
    if (gone_) return false;
    if (hasModemLines_) SetRts(true);
    // 9600 baud is about one millisecond a byte; allow for a slow driver.
    const std::int64_t deadline = NowMs() + 1000 + static_cast<std::int64_t>(n) * 2;
    bool ok = true;
    std::size_t done = 0;
    while (done < n) {
        const ssize_t w = ::write(fd_, bytes + done, n - done);
        if (w > 0) {
            done += static_cast<std::size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR) continue;
        if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd_, POLLOUT, 0};
            const int left = Remaining(deadline);
            const int r = left > 0 ? ::poll(&p, 1, left) : 0;
            if (r > 0 && !(p.revents & (POLLHUP | POLLERR | POLLNVAL))) continue;
            if (r < 0 && errno == EINTR) continue;
            if (r > 0) gone_ = true;
            lastError_ = path_ + (r > 0 ? ": the port hung up" : ": write timed out");
            ok = false;
            break;
        }
        const int error = w < 0 ? errno : EIO;
        if (IsGoneError(error)) gone_ = true;
        Fail("write failed", error);
        ok = false;
        break;
    }
    if (ok) {
        // RTS must stay up until the last stop bit has left the UART.
        while (::tcdrain(fd_) != 0 && errno == EINTR) {
        }
    }
    if (hasModemLines_ && !gone_) SetRts(false);
    return ok;
}

PosixSerialPort::Raw PosixSerialPort::ReadRaw(std::uint8_t& byte, int timeoutMs) {
    const std::int64_t deadline = NowMs() + timeoutMs;
    for (;;) {
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, Remaining(deadline));
        if (r < 0) {
            if (errno == EINTR) continue;
            Fail("poll failed", errno);
            gone_ = true;
            return Raw::Gone;
        }
        if (r == 0) return Raw::Nothing;
        if (p.revents & POLLNVAL) {
            lastError_ = path_ + ": the port was closed";
            gone_ = true;
            return Raw::Gone;
        }
        if (!(p.revents & POLLIN)) {
            // Hang-up or error without data waiting: the device is gone.
            lastError_ = path_ + ": the port hung up";
            gone_ = true;
            return Raw::Gone;
        }
        const ssize_t n = ::read(fd_, &byte, 1);
        if (n == 1) return Raw::Byte;
        if (n == 0) {
            lastError_ = path_ + ": end of file";
            gone_ = true;
            return Raw::Gone;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (p.revents & (POLLHUP | POLLERR)) {
                lastError_ = path_ + ": the port hung up";
                gone_ = true;
                return Raw::Gone;
            }
            if (Remaining(deadline) == 0) return Raw::Nothing;
            continue;
        }
        // EIO, ENODEV, ENXIO, and anything else we cannot read past.
        Fail("read failed", errno);
        gone_ = true;
        return Raw::Gone;
    }
}

ReadOutcome PosixSerialPort::ReadByte(std::uint8_t& byte) {
    if (fd_ < 0 || gone_) return ReadOutcome::Gone;
    std::uint8_t first = 0;
    switch (ReadRaw(first, readSliceMs_)) {
        case Raw::Nothing:
            return ReadOutcome::Nothing;
        case Raw::Gone:
            return ReadOutcome::Gone;
        case Raw::Byte:
            break;
    }
    if (first != 0xFF) {
        byte = first;
        return ReadOutcome::Byte;
    }
    // A PARMRK mark: the rest of it is already queued by the line discipline.
    std::uint8_t second = 0;
    switch (ReadRaw(second, readSliceMs_)) {
        case Raw::Gone:
            return ReadOutcome::Gone;
        case Raw::Nothing:
            byte = 0xFF;  // should not happen; take the byte as it came
            return ReadOutcome::Byte;
        case Raw::Byte:
            break;
    }
    if (second == 0xFF) {
        byte = 0xFF;
        return ReadOutcome::Byte;
    }
    std::uint8_t third = 0;
    if (second == 0x00) {
        const Raw r = ReadRaw(third, readSliceMs_);
        if (r == Raw::Gone) return ReadOutcome::Gone;
    }
    byte = third;
    return ReadOutcome::ErrorByte;
}

}  // namespace qt40
