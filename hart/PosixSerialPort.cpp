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

#include "hart/PortDefinition.h"

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

bool SpeedOf(int baud, speed_t& speed) {
    switch (baud) {
        case 1200: speed = B1200; return true;
        case 2400: speed = B2400; return true;
        case 4800: speed = B4800; return true;
        case 9600: speed = B9600; return true;
        case 19200: speed = B19200; return true;
        default: return false;
    }
}

}  // namespace

PosixSerialPort::PosixSerialPort(Options options)
    : calls_(options.calls ? std::move(options.calls) : PosixPortCalls::System()),
      clock_(options.clock ? options.clock : &steadyClock_),
      drainMarginMs_(options.drainMarginMs) {}

PosixSerialPort::~PosixSerialPort() {
    Close();
}

std::string PosixSerialPort::DevicePath(const std::string& name) {
    if ((!name.empty() && name.front() == '/') || PortDefinition::IsUrl(name)) return name;
    return "/dev/" + name;
}

void PosixSerialPort::Fail(const std::string& what, int error) {
    lastError_ = path_ + ": " + what + ": " + std::strerror(error);
}

void PosixSerialPort::Failed(const std::string& what, int error) {
    if (gone_) return;  // the first sign of the unplug is the one worth keeping
    Fail(what, error);
    if (IsGoneError(error)) gone_ = true;
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
    // Framing and parity errors and breaks come as FF 00 x, a real FF as FF FF.
    t.c_iflag &= ~(IGNPAR | IGNBRK | BRKINT | ISTRIP | IXON | IXOFF | IXANY);
    t.c_iflag |= PARMRK | INPCK;
    t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    t.c_cflag |= (line_.dataBits == 7 ? CS7 : CS8) | CREAD | CLOCAL;
    if (line_.parity != 'N') t.c_cflag |= PARENB | (line_.parity == 'O' ? PARODD : 0);
    if (line_.stopBits == 2) t.c_cflag |= CSTOPB;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    speed_t speed = B9600;
    if (!SpeedOf(line_.baud, speed)) {
        errno = EINVAL;
        return fail(("cannot set " + std::to_string(line_.baud) + " baud").c_str());
    }
    if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0) {
        return fail(("cannot set " + std::to_string(line_.baud) + " baud").c_str());
    }
    if (calls_->SetAttributes(fd_, t) != 0) {
        // A pseudo-terminal has no parity: it keeps every setting but PARENB
        // and, on some kernels, refuses with EINVAL to be told it again.
        termios now{};
        const bool kept = errno == EINVAL && (t.c_cflag & PARENB) != 0 &&
                          ::tcgetattr(fd_, &now) == 0 && (now.c_cflag | PARENB) == t.c_cflag;
        if (!kept) {
            errno = EINVAL;
            return fail("cannot configure the port");
        }
    }

    int status = 0;
    if (calls_->GetModemLines(fd_, &status) == 0) {
        hasModemLines_ = true;
    } else {
        // A pseudo-terminal has no modem lines; any other failure still
        // counts as a port that has them.
        hasModemLines_ = !(errno == ENOTTY || errno == EINVAL);
    }
    if (hasModemLines_) {
        (void)calls_->SetModemLines(fd_, true, TIOCM_DTR);
        (void)calls_->SetModemLines(fd_, false, TIOCM_RTS);
    }
    (void)calls_->Flush(fd_, TCIOFLUSH);
    return true;
}

void PosixSerialPort::Close() {
    if (fd_ < 0) return;
    // Output the driver still holds would make close() wait for it (up to
    // the port's closing wait, 30 s by default) on a stuck adapter.
    if (!gone_) (void)calls_->Flush(fd_, TCOFLUSH);
    if (hasModemLines_ && !gone_) SetRts(false);
    // The exclusive mark outlives this descriptor when someone else keeps the
    // port open (the simulator does), and would refuse our own reopen.
    (void)::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
    hasModemLines_ = false;
}

bool PosixSerialPort::SetRts(bool on) {
    if (calls_->SetModemLines(fd_, on, TIOCM_RTS) == 0) return true;
    Failed(on ? "cannot raise RTS" : "cannot drop RTS", errno);
    return false;
}

CarrierState PosixSerialPort::Carrier() {
    if (fd_ >= 0 && gone_) return CarrierState::Gone;
    if (fd_ >= 0 && !hasModemLines_) return CarrierState::NoLine;
    int status = 0;
    if (fd_ < 0) return CarrierState::On;
    if (calls_->GetModemLines(fd_, &status) != 0) {
        // A hung-up tty fails every ioctl with EIO: that is no carrier.
        Failed("cannot read the modem status", errno);
        return gone_ ? CarrierState::Gone : CarrierState::On;
    }
    return (status & TIOCM_CD) ? CarrierState::On : CarrierState::Off;
}

void PosixSerialPort::PurgeInput() {
    if (fd_ >= 0 && calls_->Flush(fd_, TCIFLUSH) != 0) Failed("cannot purge the input", errno);
}

void PosixSerialPort::PurgeOutput() {
    if (fd_ >= 0 && calls_->Flush(fd_, TCOFLUSH) != 0) Failed("cannot purge the output", errno);
}

bool PosixSerialPort::Drain(std::size_t n) {
    const int limit = line_.WireMs(n) + drainMarginMs_;
    int error = 0;
    const auto calls = calls_;
    const int fd = fd_;
    const BoundedCall::Outcome outcome = drain_.Run(
        [calls, fd] {
            while (calls->Drain(fd) != 0) {
                if (errno != EINTR) return errno;
            }
            return 0;
        },
        limit, error);
    if (outcome == BoundedCall::Outcome::Returned) {
        if (error == 0) return true;
        Failed("the driver could not send", error);
        return false;
    }
    lastError_ = path_ + ": the adapter did not finish sending within " + std::to_string(limit) +
                 " ms";
    // What is stuck in the driver must not go out late, into another frame.
    (void)calls_->Flush(fd_, TCOFLUSH);
    return false;
}

bool PosixSerialPort::Write(const std::uint8_t* bytes, std::size_t n) {
    if (fd_ < 0) {
        lastError_ = path_ + ": not open";
        return false;
    }
    if (gone_) return false;
    if (drain_.Running()) {
        lastError_ = path_ + ": the adapter has not finished sending the last frame";
        return false;
    }
    const std::int64_t start = clock_->NowMs();
    if (hasModemLines_ && !SetRts(true)) return false;
    // Allow a slow driver twice the time on the wire.
    const std::int64_t deadline = NowMs() + 1000 + 2 * line_.WireMs(n);
    bool ok = true;
    std::size_t done = 0;
    while (done < n) {
        const ssize_t w = calls_->Write(fd_, bytes + done, n - done);
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
        Failed("write failed", error);
        ok = false;
        break;
    }
    if (ok) ok = Drain(n);
    if (hasModemLines_ && !gone_) {
        // RTS must stay up until the last stop bit has left the UART; the
        // drain alone does not promise it. Then down at once, for the answer.
        const std::int64_t until = start + line_.WireMs(n + 2);
        if (const std::int64_t now = clock_->NowMs(); now < until) {
            clock_->SleepMs(static_cast<int>(until - now));
        }
        SetRts(false);
    }
    return ok && !gone_;
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
        const ssize_t n = calls_->Read(fd_, &byte, 1);
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
