#pragma once

#include <string>
#include <string_view>

namespace tarvo {

// Conversions between the 8-bit code pages of the data and settings files and the UTF-8
// used inside the program. Bytes that do not decode become U+FFFD, never pass through.
class TextCodec {
public:
    static std::string GbkToUtf8(std::string_view bytes);
    static std::string Windows1252ToUtf8(std::string_view bytes);
    // Characters that GBK cannot hold become '?'.
    static std::string Utf8ToGbk(std::string_view utf8);
    static std::string Utf8ToWindows1252(std::string_view utf8);
    static bool IsValidUtf8(std::string_view bytes);
    // UTF-16 without its byte-order mark; an unpaired surrogate becomes U+FFFD.
    static std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);
    // Number of UTF-16 units the text needs: the length unit of the settings-file buffers.
    static size_t Utf16Length(std::string_view utf8);
    // The longest prefix of at most maxUnits UTF-16 units that ends on a character boundary.
    static std::string TruncateUtf16(std::string_view utf8, size_t maxUnits);
};

}  // namespace tarvo
