#include "hart/Win32SerialPort.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace qt40 {
namespace {

HANDLE H(void* handle) { return static_cast<HANDLE>(handle); }

// Failures that mean the device itself went away (a USB modem unplugged).
bool IsGoneError(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_BAD_COMMAND ||
           error == ERROR_DEVICE_REMOVED || error == ERROR_GEN_FAILURE ||
           error == ERROR_FILE_NOT_FOUND || error == ERROR_INVALID_HANDLE;
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

Win32SerialPort::~Win32SerialPort() {
    Close();
}

void Win32SerialPort::Fail(const std::string& what) {
    lastError_ = path_ + ": " + what + ": " + SystemText(GetLastError());
}

bool Win32SerialPort::Open(const std::string& path, int readSliceMs) {
    Close();
    path_ = path;
    lastError_.clear();
    openError_ = {};
    gone_ = false;
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
    timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(readSliceMs > 0 ? readSliceMs : 1);
    timeouts.WriteTotalTimeoutMultiplier = MAXDWORD;
    timeouts.WriteTotalTimeoutConstant = 10;
    char settings[] = "baud=9600 parity=N data=8 stop=1";
    if (!GetCommState(handle, &dcb) || !BuildCommDCBA(settings, &dcb)) {
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
        rtsByHand_ = applied && EscapeCommFunction(handle, CLRRTS) != 0;
    }
    if (!applied || !SetCommTimeouts(handle, &timeouts)) {
        Fail("cannot configure the port");
        Close();
        return false;
    }
    DWORD status = 0;
    hasModemLines_ = GetCommModemStatus(handle, &status) != 0 || !IsUnsupported(GetLastError());
    PurgeComm(handle, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
    openError_ = {};
    return true;
}

void Win32SerialPort::Close() {
    if (handle_) CloseHandle(H(handle_));
    handle_ = nullptr;
    rtsByHand_ = false;
    hasModemLines_ = false;
}

CarrierState Win32SerialPort::Carrier() {
    if (handle_ && !hasModemLines_) return CarrierState::NoLine;
    DWORD status = 0;
    // A failed query counts as carrier still on, so nothing is sent into it.
    if (!handle_ || !GetCommModemStatus(H(handle_), &status)) return CarrierState::On;
    return (status & MS_RLSD_ON) ? CarrierState::On : CarrierState::Off;
}

void Win32SerialPort::PurgeInput() {
    if (handle_) PurgeComm(H(handle_), PURGE_RXABORT | PURGE_RXCLEAR);
}

void Win32SerialPort::PurgeOutput() {
    if (handle_) PurgeComm(H(handle_), PURGE_TXABORT | PURGE_TXCLEAR);
}

bool Win32SerialPort::Write(const std::uint8_t* bytes, std::size_t n) {
    if (!handle_ || gone_) return false;
    if (rtsByHand_) EscapeCommFunction(H(handle_), SETRTS);
    DWORD written = 0;
    if (!WriteFile(H(handle_), bytes, static_cast<DWORD>(n), &written, nullptr)) {
        const DWORD error = GetLastError();
        gone_ = IsGoneError(error);
        SetLastError(error);
        Fail("write failed");
        if (rtsByHand_ && !gone_) EscapeCommFunction(H(handle_), CLRRTS);
        return false;
    }
    if (rtsByHand_) {
        // RTS must stay up until the last stop bit has left the UART.
        FlushFileBuffers(H(handle_));
        EscapeCommFunction(H(handle_), CLRRTS);
    }
    if (written != n) lastError_ = path_ + ": write timed out";
    return written == n;
}

ReadOutcome Win32SerialPort::ReadByte(std::uint8_t& byte) {
    if (!handle_ || gone_) return ReadOutcome::Gone;
    DWORD read = 0;
    if (!ReadFile(H(handle_), &byte, 1, &read, nullptr)) {
        if (IsGoneError(GetLastError())) {
            gone_ = true;
            return ReadOutcome::Gone;
        }
        return ReadOutcome::Nothing;
    }
    return read == 1 ? ReadOutcome::Byte : ReadOutcome::Nothing;
}

bool Win32SerialPort::ClearError() {
    DWORD errors = 0;
    COMSTAT status{};
    if (!handle_ || !ClearCommError(H(handle_), &errors, &status)) return false;
    return errors != 0;
}

}  // namespace qt40
