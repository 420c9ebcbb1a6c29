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
