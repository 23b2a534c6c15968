#include "hart/Win32SerialPort.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <vector>

namespace qt40 {
namespace {

HANDLE H(void* handle) { return static_cast<HANDLE>(handle); }

// ERROR_NO_SUCH_DEVICE, which MinGW's headers lack.
constexpr DWORD kNoSuchDevice = 433;

// Failures that mean the device itself went away (a USB modem unplugged).
bool IsGoneError(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_BAD_COMMAND ||
           error == ERROR_DEVICE_REMOVED || error == ERROR_GEN_FAILURE ||
           error == ERROR_FILE_NOT_FOUND || error == ERROR_INVALID_HANDLE ||
           error == ERROR_DEVICE_NOT_CONNECTED || error == kNoSuchDevice;
}

// What a driver answers for a modem call it does not have.
bool IsUnsupported(DWORD error) {
    return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION ||
           error == ERROR_INVALID_PARAMETER;
}

// COM ports are opened exclusively: one that is there but refused is held by
// another program, whatever the error says.
OpenFailure OpenFailureOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return OpenFailure::Missing;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return OpenFailure::Busy;
        default:
            return OpenFailure::Other;
    }
}

std::string SystemText(DWORD error) {
    char* text = nullptr;
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = n && text ? std::string(text, n) : "error " + std::to_string(error);
    if (text) LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) result.pop_back();
    return result;
}

}  // namespace

Win32SerialPort::Win32SerialPort(Options options)
    : calls_(options.calls ? std::move(options.calls) : Win32PortCalls::System()),
      clock_(options.clock ? options.clock : &steadyClock_),
      drainMarginMs_(options.drainMarginMs) {}

Win32SerialPort::~Win32SerialPort() {
    Close();
}

void Win32SerialPort::Fail(const std::string& what) {
    lastError_ = path_ + ": " + what + ": " + SystemText(GetLastError());
}

void Win32SerialPort::Failed(const std::string& what, unsigned long error) {
    if (gone_) return;  // the first sign of the unplug is the one worth keeping
    lastError_ = path_ + ": " + what + ": " + SystemText(error);
    if (IsGoneError(error)) gone_ = true;
}

bool Win32SerialPort::Open(const std::string& path, int readSliceMs) {
    Close();
    path_ = path;
    lastError_.clear();
    openError_ = {};
    gone_ = false;
    pendingLineError_ = false;
    readSliceMs_ = readSliceMs > 0 ? readSliceMs : 1;
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        openError_ = {OpenFailureOf(error), path_, {}};
        Fail("cannot open");
        return false;
    }
    // A port that opens but will not take the settings is no port advice.
    openError_ = {OpenFailure::Other, path_, {}};
    handle_ = handle;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = 0;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(readSliceMs_);
    // Twice a character's time a character and a second: a driver that stalls
    // fails the write instead of holding the worker for ever.
    timeouts.WriteTotalTimeoutMultiplier = static_cast<DWORD>(2 * line_.WireMs(1));
    timeouts.WriteTotalTimeoutConstant = 1000;
    std::string definition = line_.Definition();
    std::vector<char> settings(definition.begin(), definition.end());
    settings.push_back('\0');
    if (!GetCommState(handle, &dcb) || !BuildCommDCBA(settings.data(), &dcb)) {
        Fail("cannot read the port settings");
        Close();
        return false;
    }
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_TOGGLE;  // RTS up only while the driver sends
    dcb.fAbortOnError = FALSE;
    // No handshake of any kind, whatever the last program left set.
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    (void)EscapeCommFunction(handle, SETDTR);  // the state below raises it anyway
    bool applied = SetCommState(handle, &dcb) != 0;
    if (!applied && IsUnsupported(GetLastError())) {
        // Some USB serial drivers and Wine refuse toggle mode: RTS stays low
        // and Write raises it, where the driver lets us.
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
        applied = SetCommState(handle, &dcb) != 0;
        rtsByHand_ = applied && calls_->Escape(handle, CLRRTS);
    }
    if (!applied || !SetCommTimeouts(handle, &timeouts)) {
        Fail("cannot configure the port");
        Close();
        return false;
    }
    DWORD status = 0;
    hasModemLines_ =
        calls_->GetModemStatus(handle, &status) || !IsUnsupported(GetLastError());
    PurgeComm(handle, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
    openError_ = {};
    return true;
}

void Win32SerialPort::Close() {
    if (handle_) {
        // Output the driver still holds (a stalled adapter) is dropped, so
        // the close does not wait for it; a flush left waiting ends with it.
        if (!gone_) (void)calls_->Purge(handle_, PURGE_TXABORT | PURGE_TXCLEAR);
        CloseHandle(H(handle_));
    }
    handle_ = nullptr;
    rtsByHand_ = false;
    hasModemLines_ = false;
}

CarrierState Win32SerialPort::Carrier() {
    if (handle_ && gone_) return CarrierState::Gone;
    if (handle_ && !hasModemLines_) return CarrierState::NoLine;
    DWORD status = 0;
    if (!handle_) return CarrierState::On;
    if (!calls_->GetModemStatus(handle_, &status)) {
        // A removed device fails the query: that is no carrier. Any other
        // failure counts as carrier still on, so nothing is sent into it.
        Failed("cannot read the modem status", GetLastError());
        return gone_ ? CarrierState::Gone : CarrierState::On;
    }
    return (status & MS_RLSD_ON) ? CarrierState::On : CarrierState::Off;
}

void Win32SerialPort::PurgeInput() {
    if (handle_ && !calls_->Purge(handle_, PURGE_RXABORT | PURGE_RXCLEAR)) {
        Failed("cannot purge the input", GetLastError());
    }
}

void Win32SerialPort::PurgeOutput() {
    if (handle_ && !calls_->Purge(handle_, PURGE_TXABORT | PURGE_TXCLEAR)) {
        Failed("cannot purge the output", GetLastError());
    }
}

bool Win32SerialPort::Flush(std::size_t n) {
    const int limit = line_.WireMs(n) + drainMarginMs_;
    int error = 0;
    const auto calls = calls_;
    void* const handle = handle_;
    const BoundedCall::Outcome outcome = flush_.Run(
        [calls, handle] {
            return calls->Flush(handle) ? 0 : static_cast<int>(GetLastError());
        },
        limit, error);
    if (outcome == BoundedCall::Outcome::Returned) {
        if (error == 0) return true;
        Failed("the driver could not send", static_cast<DWORD>(error));
        return false;
    }
    lastError_ =
        path_ + ": the adapter did not finish sending within " + std::to_string(limit) + " ms";
    // What is stuck in the driver must not go out late, into another frame;
    // aborting the output also ends the flush that waits for it.
    (void)calls_->Purge(handle_, PURGE_TXABORT | PURGE_TXCLEAR);
    return false;
}

bool Win32SerialPort::Write(const std::uint8_t* bytes, std::size_t n) {
    if (!handle_ || gone_) return false;
    if (flush_.Running()) {
        lastError_ = path_ + ": the adapter has not finished sending the last frame";
        return false;
    }
    const std::int64_t start = clock_->NowMs();
    if (rtsByHand_ && !calls_->Escape(handle_, SETRTS)) {
        Failed("cannot raise RTS", GetLastError());
        if (gone_) return false;
    }
    DWORD written = 0;
    bool ok = calls_->Write(handle_, bytes, static_cast<DWORD>(n), &written);
    if (!ok) {
        Failed("write failed", GetLastError());
    } else if (written != n) {
        lastError_ = path_ + ": write timed out";
        ok = false;
    }
    if (rtsByHand_ && !gone_) {
        if (ok) ok = Flush(n);
        // RTS must stay up until the last stop bit has left the UART; the
        // flush alone does not promise it. Then down at once, for the answer.
        const std::int64_t until = start + line_.WireMs(n + 2);
        if (const std::int64_t now = clock_->NowMs(); now < until) {
            clock_->SleepMs(static_cast<int>(until - now));
        }
        if (!calls_->Escape(handle_, CLRRTS)) Failed("cannot drop RTS", GetLastError());
    }
    return ok && !gone_;
}

void Win32SerialPort::SleepRestOfSlice(std::int64_t startMs) {
    const std::int64_t rest = startMs + readSliceMs_ - clock_->NowMs();
    if (rest > 0) clock_->SleepMs(static_cast<int>(rest));
}

ReadOutcome Win32SerialPort::ReadByte(std::uint8_t& byte) {
    if (!handle_ || gone_) return ReadOutcome::Gone;
    const std::int64_t start = clock_->NowMs();
    DWORD read = 0;
    if (calls_->Read(handle_, &byte, 1, &read)) {
        if (read == 1) return ReadOutcome::Byte;
        // The slice passes inside the driver; one that returns at once
        // without a byte must not make the receive spin.
        SleepRestOfSlice(start);
        return ReadOutcome::Nothing;
    }
    const DWORD error = GetLastError();
    Failed("read failed", error);
    if (gone_) return ReadOutcome::Gone;
    // ERROR_OPERATION_ABORTED and the like: no byte, and no word on the
    // device. Sleep out the slice, then ask the port whether it is there.
    SleepRestOfSlice(start);
    DWORD errors = 0;
    if (!calls_->ClearError(handle_, &errors)) {
        const DWORD probe = GetLastError();
        Failed("the port does not answer", probe);
        gone_ = true;
        return ReadOutcome::Gone;
    }
    if (errors != 0) pendingLineError_ = true;
    return ReadOutcome::Nothing;
}

bool Win32SerialPort::ClearError() {
    DWORD errors = 0;
    const bool pending = pendingLineError_;
    pendingLineError_ = false;
    if (!handle_) return false;
    if (!calls_->ClearError(handle_, &errors)) {
        Failed("cannot read the error state", GetLastError());
        return pending;
    }
    return pending || errors != 0;
}

}  // namespace qt40
