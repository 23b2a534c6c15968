#include "cli/PrintableStream.h"

#include "model/PrintableText.h"

namespace qt40::cli {

PrintableStream::PrintableStream(std::ostream& to) : std::ostream(nullptr), buffer_(to) {
    rdbuf(&buffer_);
}

PrintableStream::~PrintableStream() {
    buffer_.Emit(true);
}

void PrintableStream::Buffer::Emit(bool all) {
    std::size_t end = held_.rfind('\n');
    end = end == std::string::npos ? 0 : end + 1;
    if (all) {
        end = held_.size();
        // A UTF-8 sequence cut by a flush waits for its other bytes.
        for (std::size_t back = 1; back <= 3 && back <= held_.size(); ++back) {
            const auto b = static_cast<unsigned char>(held_[held_.size() - back]);
            if ((b & 0xC0) == 0x80) continue;
            const std::size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
            if (length > back) end = held_.size() - back;
            break;
        }
    }
    if (end == 0) return;
    to_ << PrintableLines(std::string_view(held_).substr(0, end));
    held_.erase(0, end);
}

PrintableStream::Buffer::int_type PrintableStream::Buffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    held_ += traits_type::to_char_type(c);
    if (c == '\n') Emit(false);
    return c;
}

std::streamsize PrintableStream::Buffer::xsputn(const char* s, std::streamsize n) {
    held_.append(s, static_cast<std::size_t>(n));
    if (held_.find('\n', held_.size() - static_cast<std::size_t>(n)) != std::string::npos)
        Emit(false);
    return n;
}

int PrintableStream::Buffer::sync() {
    Emit(true);
    to_.flush();
    return to_ ? 0 : -1;
}

}  // namespace qt40::cli
