#pragma once

#include <string>
#include <string_view>

namespace tarvo {

// UTF-8 to and from UTF-16 little-endian bytes, for the record file. Invalid sequences
// become U+FFFD.
namespace Utf16Text {

std::string FromUtf8(std::string_view utf8);
std::string ToUtf8(std::string_view utf16le);

}  // namespace Utf16Text

}  // namespace tarvo
