#pragma once
// The one exception type of the program outside the HART layer: a failure
// carried as the text to show. Thrown by value; catch by const reference.

#include <cstddef>
#include <exception>
#include <string>

namespace qt40 {

class CMessageFormatter;

class CPrivateException : public std::exception {
public:
    explicit CPrivateException(std::string text) : text_(std::move(text)) {}
    explicit CPrivateException(const CMessageFormatter& formatter);

    const char* what() const noexcept override { return text_.c_str(); }
    const std::string& Text() const noexcept { return text_; }

    // Copies the text into `buffer`, cut to `size` - 1 characters and always
    // terminated (nothing is written when `size` is 0). Always succeeds.
    bool GetErrorMessage(char* buffer, std::size_t size) const noexcept;

private:
    std::string text_;
};

}  // namespace qt40
