#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace tarvo {

// printf of one number (and nothing else) into text with "." as the decimal point whatever the
// locale, as the oscilloscope's fields and files show numbers.
template <typename T>
std::string ScopePrintf(const char* format, T value) {
    char text[400];
    std::snprintf(text, sizeof text, format, value);
    std::string result = text;
    for (char& c : result) {
        if (c == ',') {
            c = '.';
        }
    }
    return result;
}

// The same number with the trailing zeros of its fraction (and a bare point) left off, so
// "670.000" becomes "670" and "0.500" "0.5"; a text that is no such number stays as it is.
inline std::string ShortNumberText(const std::string& text) {
    size_t point = text.find('.');
    if (point == std::string::npos ||
        text.find_first_not_of("0123456789", point + 1) != std::string::npos) {
        return text;
    }
    size_t end = text.find_last_not_of('0');
    if (end == point) {
        --end;
    }
    std::string shorter = text.substr(0, end + 1);
    return shorter == "-0" ? "0" : shorter;
}

// The sample period (units of 62.5 us) as the form shows it; a negative period leaves the
// text as it was.
inline std::string ScopePeriodText(int32_t period, const std::string& unchanged) {
    if (period < 0) {
        return unchanged;
    }
    if (period < 16) {
        return ScopePrintf("%0.1fus", period * 62.5);
    }
    if (period < 16000) {
        return ScopePrintf("%0.2fms", period * 62.5 * 0.001);
    }
    return ScopePrintf("%0.2fs", period * 62.5 * 1e-6);
}

}  // namespace tarvo
