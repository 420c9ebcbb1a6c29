#include "platform/LenientNumber.h"

namespace tarvo {

namespace {

int DigitValue(char c, uint32_t base) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (base == 16) {
        if (c >= 'a' && c <= 'f') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
    }
    return -1;
}

uint32_t ParseLenient(std::string_view text, uint32_t base) {
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    uint32_t value = 0;
    for (char c : text) {
        int digit = DigitValue(c, base);
        if (digit >= 0) {
            value = value * base + static_cast<uint32_t>(digit);
        }
    }
    return negative ? 0u - value : value;
}

}  // namespace

uint32_t ParseHexText(std::string_view text) {
    return ParseLenient(text, 16);
}

uint32_t ParseDecimalText(std::string_view text) {
    return ParseLenient(text, 10);
}

}  // namespace tarvo
