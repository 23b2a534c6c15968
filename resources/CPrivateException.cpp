#include "resources/CPrivateException.h"

#include <algorithm>
#include <cstring>

#include "resources/CMessageFormatter.h"

namespace qt40 {

CPrivateException::CPrivateException(const CMessageFormatter& formatter)
    : text_(formatter.Text()) {}

bool CPrivateException::GetErrorMessage(char* buffer, std::size_t size) const noexcept {
    if (buffer == nullptr || size == 0) return true;
    const std::size_t n = std::min(text_.size(), size - 1);
    std::memcpy(buffer, text_.data(), n);
    buffer[n] = '\0';
    return true;
}

}  // namespace qt40
