#include "model/NumberText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace qt40 {
namespace {

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whether a number that from_chars found out of range overflowed (else it
// underflowed): compare the decimal position of its first significant digit.
bool Overflows(std::string_view number) {
    long long integerDigits = 0;
    long long fractionZeros = 0;
    bool significant = false;
    bool point = false;
    std::size_t i = 0;
    for (; i < number.size() && (IsDigit(number[i]) || number[i] == '.'); ++i) {
        if (number[i] == '.') {
            point = true;
        } else if (!point) {
            if (significant || number[i] != '0') {
                significant = true;
                if (integerDigits < 1'000'000'000) ++integerDigits;
            }
        } else if (!significant) {
            if (number[i] == '0') {
                if (fractionZeros < 1'000'000'000) ++fractionZeros;
            } else {
                significant = true;
            }
        }
    }
    long long exponent = 0;
    if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
        exponent = std::clamp(LeadingInteger(number.substr(i + 1)), -1'000'000'000'000LL,
                              1'000'000'000'000LL);
    }
    const long long magnitude = integerDigits > 0 ? integerDigits : -fractionZeros;
    return magnitude + exponent > 0;
}

}  // namespace

std::string FormatFixed(double value, int precision, int width) {
    std::array<char, 512> buffer{};
    auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                   std::chars_format::fixed, precision);
    std::string text = ec == std::errc() ? std::string(buffer.data(), end) : std::string("inf");
    if (width > 0 && text.size() < static_cast<std::size_t>(width)) {
        text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
    }
    return text;
}

std::string FormatGeneral(double value) {
    std::array<char, 64> buffer{};
    auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                   std::chars_format::general, 6);
    return ec == std::errc() ? std::string(buffer.data(), end) : std::string();
}

int TruncateToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    if (value <= static_cast<double>(std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(value);
}

std::string FormatTruncated(double value) {
    return std::to_string(TruncateToInt(value));
}

double LeadingDecimal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    // from_chars would also take "inf", "nan" and a sign of its own.
    if (i >= text.size()) return 0.0;
    if (!IsDigit(text[i]) && !(text[i] == '.' && i + 1 < text.size() && IsDigit(text[i + 1]))) {
        return 0.0;
    }
    const std::string_view number = text.substr(i);
    double value = 0.0;
    auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value,
                                     std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        value = Overflows(number.substr(0, static_cast<std::size_t>(ptr - number.data())))
                    ? std::numeric_limits<double>::infinity()
                    : 0.0;
    } else if (ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

long long LeadingInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    constexpr long long kMax = std::numeric_limits<long long>::max();
    long long value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        const int digit = text[i] - '0';
        if (value > (kMax - digit) / 10)
            return negative ? std::numeric_limits<long long>::min() : kMax;
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

}  // namespace qt40
