#include "model/PrintableText.h"

#include <cstdint>
#include <cstdio>

namespace qt40 {
namespace {

void Escape(std::string& out, std::uint32_t c, bool unicode) {
    char text[12];
    switch (c) {
        case '\n':
            out += "\\n";
            return;
        case '\r':
            out += "\\r";
            return;
        case '\t':
            out += "\\t";
            return;
        default:
            break;
    }
    std::snprintf(text, sizeof text, unicode ? "\\u%04X" : "\\x%02X", static_cast<unsigned>(c));
    out += text;
}

// The length of the UTF-8 sequence at `at` and its code point; 0 when the
// bytes there are no well-formed sequence.
std::size_t Sequence(std::string_view s, std::size_t at, std::uint32_t& code) {
    const auto b = [&](std::size_t i) { return static_cast<std::uint8_t>(s[at + i]); };
    const std::uint8_t lead = b(0);
    std::size_t n = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2, code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3, code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4, code = lead & 0x07u;
    } else {
        return 0;
    }
    if (at + n > s.size()) return 0;
    for (std::size_t i = 1; i < n; ++i) {
        if ((b(i) & 0xC0) != 0x80) return 0;
        code = code << 6 | (b(i) & 0x3Fu);
    }
    // Overlong forms, surrogates and code points past Unicode.
    if ((n == 3 && code < 0x800) || (n == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
        (code >= 0xD800 && code <= 0xDFFF)) {
        return 0;
    }
    return n;
}

bool Steers(std::uint32_t c) {
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069) || c == 0x200E || c == 0x200F || c == 0x061C;
}

std::string Printable(std::string_view text, bool keepLines) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        std::uint32_t code = 0;
        const std::size_t n = Sequence(text, at, code);
        if (n == 0) {
            Escape(out, static_cast<std::uint8_t>(text[at]), false);
            ++at;
            continue;
        }
        const bool lineEnd =
            keepLines && (code == '\n' || code == '\t' ||
                          (code == '\r' && at + 1 < text.size() && text[at + 1] == '\n'));
        if (Steers(code) && !lineEnd) {
            Escape(out, code, code >= 0x80);
        } else {
            out.append(text.substr(at, n));
        }
        at += n;
    }
    return out;
}

}  // namespace

std::string PrintableText(std::string_view text) {
    return Printable(text, false);
}
std::string PrintableLines(std::string_view text) {
    return Printable(text, true);
}

}  // namespace qt40
