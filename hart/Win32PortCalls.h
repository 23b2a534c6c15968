#pragma once
// The Win32 communications calls whose outcome a driver decides: the modem
// status, FlushFileBuffers, ReadFile and WriteFile, EscapeCommFunction,
// ClearCommError and PurgeComm. The port makes them through here, so that
// tests can make them behave as a driver does (ERROR_BAD_COMMAND after an
// unplug, ERROR_OPERATION_ABORTED now and then, a flush that never returns).
// Each returns as its API function does, with the last error set.

#include <memory>

namespace qt40 {

class Win32PortCalls {
public:
    using Handle = void*;        // HANDLE
    using Dword = unsigned long;  // DWORD

    virtual ~Win32PortCalls() = default;

    virtual bool GetModemStatus(Handle port, Dword* status);  // GetCommModemStatus
    virtual bool Flush(Handle port);                           // FlushFileBuffers
    virtual bool Read(Handle port, void* bytes, Dword n, Dword* read);
    virtual bool Write(Handle port, const void* bytes, Dword n, Dword* written);
    virtual bool Escape(Handle port, Dword function);  // EscapeCommFunction
    virtual bool ClearError(Handle port, Dword* errors);  // ClearCommError
    virtual bool Purge(Handle port, Dword flags);  // PurgeComm

    // The real calls, shared by every port that is given none.
    static std::shared_ptr<Win32PortCalls> System();
};

}  // namespace qt40
