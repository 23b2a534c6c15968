#include "hart/Win32PortCalls.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace qt40 {

static_assert(sizeof(Win32PortCalls::Dword) == sizeof(DWORD));

bool Win32PortCalls::GetModemStatus(Handle port, Dword* status) {
    return GetCommModemStatus(port, status) != 0;
}

bool Win32PortCalls::Flush(Handle port) {
    return FlushFileBuffers(port) != 0;
}

bool Win32PortCalls::Read(Handle port, void* bytes, Dword n, Dword* read) {
    return ReadFile(port, bytes, n, read, nullptr) != 0;
}

bool Win32PortCalls::Write(Handle port, const void* bytes, Dword n, Dword* written) {
    return WriteFile(port, bytes, n, written, nullptr) != 0;
}

bool Win32PortCalls::Escape(Handle port, Dword function) {
    return EscapeCommFunction(port, function) != 0;
}

bool Win32PortCalls::ClearError(Handle port, Dword* errors) {
    COMSTAT status{};
    return ClearCommError(port, errors, &status) != 0;
}

bool Win32PortCalls::Purge(Handle port, Dword flags) {
    return PurgeComm(port, flags) != 0;
}

std::shared_ptr<Win32PortCalls> Win32PortCalls::System() {
    static const std::shared_ptr<Win32PortCalls> calls = std::make_shared<Win32PortCalls>();
    return calls;
}

}  // namespace qt40
