#pragma once
// Texts of system result codes, and insert-style texts built around the
// message of a caught exception.

#include <exception>
#include <string>

namespace qt40 {

class CMessageFormatter {
public:
    // The system's own text for `code` (errno values on POSIX, system error
    // codes on Windows); empty when the system has no text for it.
    explicit CMessageFormatter(long code);
    // `format` with insert 1 replaced by the exception's message, read as at
    // most 1023 characters.
    CMessageFormatter(const std::string& format, const std::exception& error);

    const std::string& Text() const noexcept { return text_; }

    // The exception's message as inserted into texts: at most 1023 bytes,
    // cut on a character boundary.
    static std::string ExceptionMessage(const std::exception& error);

private:
    std::string text_;
};

// Any code other than 0 (including codes that count as "success with
// information") throws CPrivateException with the code's system text.
void CheckResult(long code);

}  // namespace qt40
