#pragma once

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

}  // namespace tarvo
