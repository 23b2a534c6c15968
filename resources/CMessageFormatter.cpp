#include "resources/CMessageFormatter.h"

#include "resources/CPrivateException.h"
#include "resources/MessageFormat.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstring>
#endif

namespace qt40 {

namespace {

constexpr std::size_t kExceptionMessageLimit = 1023;

std::string SystemText(long code) {
#ifdef _WIN32
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0x400, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length == 0 || buffer == nullptr) return {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length), nullptr, 0,
                                          nullptr, nullptr);
    std::string text(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length), text.data(), bytes, nullptr,
                        nullptr);
    LocalFree(buffer);
    return text;
#elif defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 32))
    // strerror() invents "Unknown error N"; the description table does not.
    if (code < 0 || code > 0x7fffffff) return {};
    const char* text = strerrordesc_np(static_cast<int>(code));
    return text != nullptr ? std::string(text) : std::string();
#else
    if (code < 0 || code > 0x7fffffff) return {};
    const std::string text = std::strerror(static_cast<int>(code));
    return text.rfind("Unknown error", 0) == 0 ? std::string() : text;
#endif
}

}  // namespace

CMessageFormatter::CMessageFormatter(long code) : text_(SystemText(code)) {}

CMessageFormatter::CMessageFormatter(const std::string& format, const std::exception& error)
    : text_(FormatInserts(format, std::vector<std::string>{ExceptionMessage(error)})) {}

std::string CMessageFormatter::ExceptionMessage(const std::exception& error) {
    std::string message = error.what();
    if (message.size() > kExceptionMessageLimit) {
        // Cut on a character boundary so the UTF-8 stays valid.
        std::size_t cut = kExceptionMessageLimit;
        while (cut > 0 && (static_cast<unsigned char>(message[cut]) & 0xC0) == 0x80) --cut;
        message.resize(cut);
    }
    return message;
}

void CheckResult(long code) {
    if (code != 0) throw CPrivateException(CMessageFormatter(code));
}

}  // namespace qt40
