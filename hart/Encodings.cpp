#include "hart/Encodings.h"

#include <bit>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <limits>

namespace qt40 {

void PutU16(std::uint8_t* out, std::uint16_t value) {
    out[0] = static_cast<std::uint8_t>(value >> 8);
    out[1] = static_cast<std::uint8_t>(value);
}

void PutU24(std::uint8_t* out, std::uint32_t value) {
    out[0] = static_cast<std::uint8_t>(value >> 16);
    out[1] = static_cast<std::uint8_t>(value >> 8);
    out[2] = static_cast<std::uint8_t>(value);
}

void PutFloat(std::uint8_t* out, float value) {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    out[0] = static_cast<std::uint8_t>(bits >> 24);
    out[1] = static_cast<std::uint8_t>(bits >> 16);
    out[2] = static_cast<std::uint8_t>(bits >> 8);
    out[3] = static_cast<std::uint8_t>(bits);
}

std::uint16_t GetU16(const std::uint8_t* in) {
    return static_cast<std::uint16_t>(in[0] << 8 | in[1]);
}

std::int16_t GetS16(const std::uint8_t* in) {
    return static_cast<std::int16_t>(GetU16(in));
}

std::uint32_t GetU24(const std::uint8_t* in) {
    return static_cast<std::uint32_t>(in[0]) << 16 | static_cast<std::uint32_t>(in[1]) << 8 | in[2];
}

double GetFloat(const std::uint8_t* in) {
    const std::uint32_t bits = static_cast<std::uint32_t>(in[0]) << 24 |
                               static_cast<std::uint32_t>(in[1]) << 16 |
                               static_cast<std::uint32_t>(in[2]) << 8 | in[3];
    return static_cast<double>(std::bit_cast<float>(bits));
}

double NumberFromText(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i < text.size() && text[i] == '+') ++i;
    double value = 0.0;
    const char* first = text.data() + i;
    auto [ptr, ec] = std::from_chars(first, text.data() + text.size(), value);
    if (ptr == first) return 0.0;  // no number at all
    if (ec == std::errc::result_out_of_range) {
        // As strtod: an underflow is 0, an overflow is infinite with its sign.
        const std::string_view number(first, static_cast<std::size_t>(ptr - first));
        const auto e = number.find_first_of("eE");
        if (e != std::string_view::npos && e + 1 < number.size() && number[e + 1] == '-')
            return 0.0;
        return number.front() == '-' ? -std::numeric_limits<double>::infinity()
                                     : std::numeric_limits<double>::infinity();
    }
    return value;
}

long IntegerFromText(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i < text.size() && text[i] == '+') ++i;
    long value = 0;
    const char* first = text.data() + i;
    auto [ptr, ec] = std::from_chars(first, text.data() + text.size(), value);
    if (ptr == first || ec != std::errc()) return 0;
    return value;
}

void PutFloatFromText(std::uint8_t* out, std::string_view text) {
    const double value = NumberFromText(text);
    float narrowed = 0.0f;
    if (value > std::numeric_limits<float>::max()) {
        narrowed = std::numeric_limits<float>::infinity();
    } else if (value < -std::numeric_limits<float>::max()) {
        narrowed = -std::numeric_limits<float>::infinity();
    } else {
        narrowed = static_cast<float>(value);
    }
    PutFloat(out, narrowed);
}

void PackAscii(std::string_view text, std::uint8_t* out, int n) {
    for (int group = 0; group < n / 4; ++group) {
        std::uint8_t c[4];
        for (int k = 0; k < 4; ++k) {
            const std::size_t pos = static_cast<std::size_t>(group * 4 + k);
            c[k] = static_cast<std::uint8_t>(pos < text.size() ? text[pos] : ' ') & 0x3F;
        }
        out[group * 3 + 0] = static_cast<std::uint8_t>(c[0] << 2 | (c[1] >> 4 & 0x03));
        out[group * 3 + 1] = static_cast<std::uint8_t>((c[1] & 0x0F) << 4 | (c[2] >> 2 & 0x0F));
        out[group * 3 + 2] = static_cast<std::uint8_t>((c[2] & 0x03) << 6 | (c[3] & 0x3F));
    }
}

std::string UnpackAscii(const std::uint8_t* in, int n) {
    std::string text;
    text.reserve(static_cast<std::size_t>(n));
    for (int group = 0; group < n / 4; ++group) {
        const std::uint8_t* b = in + group * 3;
        const std::uint8_t v[4] = {
            static_cast<std::uint8_t>(b[0] >> 2),
            static_cast<std::uint8_t>((b[0] & 0x03) << 4 | b[1] >> 4),
            static_cast<std::uint8_t>((b[1] & 0x0F) << 2 | b[2] >> 6),
            static_cast<std::uint8_t>(b[2] & 0x3F),
        };
        for (std::uint8_t value : v) {
            text.push_back(static_cast<char>((value & 0x20) ? value : value + 0x40));
        }
    }
    return text;
}

std::string Latin1Text(const std::uint8_t* in, int n) {
    int end = n;
    while (end > 0 && (in[end - 1] == 0 || in[end - 1] == ' ')) --end;
    std::string text;
    for (int i = 0; i < end; ++i) {
        const std::uint8_t c = in[i];
        if (c < 0x80) {
            text.push_back(static_cast<char>(c));
        } else {
            text.push_back(static_cast<char>(0xC0 | (c >> 6)));
            text.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return text;
}

void PutLatin1(std::uint8_t* out, std::string_view text, int n) {
    int at = 0;
    for (std::size_t i = 0; i < text.size() && at < n; ++at) {
        const auto c = static_cast<std::uint8_t>(text[i]);
        if (c < 0x80) {
            out[at] = c;
            ++i;
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size() &&
                   (static_cast<std::uint8_t>(text[i + 1]) & 0xC0) == 0x80) {
            out[at] = static_cast<std::uint8_t>((c & 0x03) << 6 |
                                                (static_cast<std::uint8_t>(text[i + 1]) & 0x3F));
            i += 2;
        } else {
            // One '?' for the whole character beyond Latin-1.
            out[at] = '?';
            ++i;
            while (i < text.size() && (static_cast<std::uint8_t>(text[i]) & 0xC0) == 0x80) ++i;
        }
    }
    for (; at < n; ++at) out[at] = 0;
}

std::string DateText(std::uint8_t day, std::uint8_t month, std::uint8_t yearSince1900) {
    char text[32];
    std::snprintf(text, sizeof text, "%d/%02d/%02d", yearSince1900 + 1900, month, day);
    return text;
}

void PutDateFromText(std::uint8_t* out, std::string_view text) {
    const auto part = [&](std::size_t pos, std::size_t len) -> long {
        if (pos >= text.size()) return 0;
        return IntegerFromText(text.substr(pos, len));
    };
    const long year = part(0, 4);
    const long month = part(5, 2);
    const long day = text.size() >= 2 ? IntegerFromText(text.substr(text.size() - 2)) : 0;
    out[0] = static_cast<std::uint8_t>(day);
    out[1] = static_cast<std::uint8_t>(month);
    out[2] = static_cast<std::uint8_t>(((year - 1900) % 256 + 256) % 256);
}

}  // namespace qt40
