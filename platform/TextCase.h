#pragma once

#include <string>
#include <string_view>

namespace tarvo {

// Blanks and tabs, what most settings texts are trimmed of.
inline constexpr std::string_view kBlanks = " \t";
// Blanks, tabs and the characters of a line end.
inline constexpr std::string_view kBlanksAndLineEnds = " \t\r\n";

// The text without the characters of `front` before it and those of `back` after it.
std::string_view Trim(std::string_view text, std::string_view front, std::string_view back);
inline std::string_view Trim(std::string_view text, std::string_view blanks = kBlanks) {
    return Trim(text, blanks, blanks);
}

// The text with the ASCII letters A-Z lowered; every other byte, UTF-8 included, stays, so
// that names compare alike whatever the program's locale.
std::string Lower(std::string_view text);
// Whether the texts are equal once their ASCII letters are lowered.
bool SameIgnoringCase(std::string_view a, std::string_view b);

}  // namespace tarvo
