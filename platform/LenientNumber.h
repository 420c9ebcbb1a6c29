#pragma once

#include <cstdint>
#include <string_view>

namespace tarvo {

// The forgiving number readers shared by the data file, panel files and transfer files:
// every character that is not a digit is skipped and a leading '-' negates. Arithmetic
// wraps modulo 2^32, as the drive's 32-bit words do.
uint32_t ParseHexText(std::string_view text);
uint32_t ParseDecimalText(std::string_view text);

}  // namespace tarvo
