#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvo {

// Reads a decimal integer as the C library's atoi does: leading blanks, an optional sign,
// then digits up to the first other character; no digits give 0. Far outside the 32-bit
// range the result saturates instead of overflowing.
int64_t ReadLeadingInteger(std::string_view text);

// Reads a real number as atof does, always with "." as the decimal point whatever the
// program's locale; no number gives 0.
double ReadLeadingReal(std::string_view text);

// A real truncated toward zero into the 32 bits of a drive value. Values from INT32_MIN to
// UINT32_MAX keep their bits (4294967295 gives the bits of -1), values beyond are clamped
// to that range and NaN gives 0.
int32_t TruncateToInt32(double value);

// "%0.3f", always with "." as the decimal point.
std::string FormatThreeDecimals(double value);

}  // namespace tarvo
