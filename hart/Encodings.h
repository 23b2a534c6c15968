#pragma once
// Data encodings on the wire: big-endian integers and IEEE singles, HART
// packed ASCII and the three-byte date.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qt40 {

void PutU16(std::uint8_t* out, std::uint16_t value);
void PutU24(std::uint8_t* out, std::uint32_t value);  // low 24 bits
void PutFloat(std::uint8_t* out, float value);
std::uint16_t GetU16(const std::uint8_t* in);
std::int16_t GetS16(const std::uint8_t* in);
std::uint32_t GetU24(const std::uint8_t* in);
double GetFloat(const std::uint8_t* in);  // widened to double

// C-locale conversion of the longest leading decimal number; 0 when there is
// none. Independent of the process locale (a GUI may set a decimal comma).
double NumberFromText(std::string_view text);
// Leading optional sign and digits as an integer, like atoi; 0 when there are none.
long IntegerFromText(std::string_view text);
// The text as the encoders send it: number, narrowed to single precision.
void PutFloatFromText(std::uint8_t* out, std::string_view text);

// Packs `n` characters (n a multiple of 4) into 3n/4 bytes; only the low six
// bits of each character count, so callers pass upper-case text.
void PackAscii(std::string_view text, std::uint8_t* out, int n);
// Unpacks 3n/4 bytes into n characters, trailing blanks kept.
std::string UnpackAscii(const std::uint8_t* in, int n);

// `n` bytes of Latin-1 as UTF-8, the padding at the end (NULs, blanks) taken off.
std::string Latin1Text(const std::uint8_t* in, int n);
// UTF-8 `text` as `n` bytes of Latin-1, NUL-padded; a character Latin-1 has
// not becomes '?', and the text is cut at `n` bytes.
void PutLatin1(std::uint8_t* out, std::string_view text, int n);

// "YYYY/MM/DD" from day, month, year - 1900.
std::string DateText(std::uint8_t day, std::uint8_t month, std::uint8_t yearSince1900);
// Day, month and (year - 1900) modulo 256 from the ten-character date text.
void PutDateFromText(std::uint8_t* out, std::string_view text);

}  // namespace qt40
