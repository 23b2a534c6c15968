#pragma once
// Number <-> text conversions with the C library's printf/atof meaning but
// independent of the process locale (the window program runs with the
// user's locale, while files and the device always use a decimal point).

#include <string>
#include <string_view>

namespace qt40 {

// printf("%.<precision>f", value); `width` pads on the left with blanks like
// "%<width>.<precision>f".
std::string FormatFixed(double value, int precision, int width = 0);
// printf("%g", value).
std::string FormatGeneral(double value);
// printf("%d", value) of the value truncated toward zero; NaN gives 0 and
// values beyond the int range saturate instead of being undefined.
int TruncateToInt(double value);
std::string FormatTruncated(double value);

// atof: leading white space, an optional sign, then the longest decimal
// number (with exponent); 0 when there is none. Overflow gives +-infinity.
// Infinity and NaN spellings and hexadecimal forms are not numbers here.
double LeadingDecimal(std::string_view text);
// atoi: leading white space, an optional sign, digits; 0 when there are none.
// Saturates at the range of long long instead of overflowing.
long long LeadingInteger(std::string_view text);

}  // namespace qt40
