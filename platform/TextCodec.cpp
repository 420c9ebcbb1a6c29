#include "platform/TextCodec.h"

#include "platform/CodePageDecoder.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <vector>

namespace tarvo {

namespace {

// Converts with iconv, putting `substitute` in place of each sequence it cannot convert.
std::string Convert(const char* to, const char* from, std::string_view in,
                    std::string_view substitute, size_t skipOnError) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::string(in);
    }
    std::string out;
    out.reserve(in.size() * 2);
    std::vector<char> buffer(in.size() * 4 + 16);
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        size_t outLeft = buffer.size();
        size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer.data(), static_cast<size_t>(outPtr - buffer.data()));
        if (rc != static_cast<size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            continue;
        }
        // EILSEQ or EINVAL (a truncated sequence at the end): replace and move on.
        out.append(substitute);
        size_t skip = std::min(inLeft, skipOnError);
        if (skipOnError == 0) {
            // Skip one whole UTF-8 character of the input.
            skip = 1;
            while (skip < inLeft && (static_cast<unsigned char>(inPtr[skip]) & 0xC0) == 0x80) {
                ++skip;
            }
        }
        inPtr += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string TextCodec::GbkToUtf8(std::string_view bytes) {
    return CodePageDecoder("GBK").Decode(bytes);
}

std::string TextCodec::Windows1252ToUtf8(std::string_view bytes) {
    return CodePageDecoder("WINDOWS-1252").Decode(bytes);
}

std::string TextCodec::Utf8ToGbk(std::string_view utf8) {
    return Convert("GBK", "UTF-8", utf8, "?", 0);
}

std::string TextCodec::Utf8ToWindows1252(std::string_view utf8) {
    return Convert("WINDOWS-1252", "UTF-8", utf8, "?", 0);
}

std::string TextCodec::Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    // An odd last byte is half a unit: it decodes as a replacement as well.
    return Convert("UTF-8", bigEndian ? "UTF-16BE" : "UTF-16LE", bytes, "\xEF\xBF\xBD", 2);
}

bool TextCodec::IsValidUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        auto c = static_cast<unsigned char>(bytes[i]);
        size_t extra = 0;
        uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= bytes.size()) {
            return false;
        }
        for (size_t k = 1; k <= extra; ++k) {
            auto cc = static_cast<unsigned char>(bytes[i + k]);
            if ((cc & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        static constexpr uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

size_t TextCodec::Utf16Length(std::string_view utf8) {
    size_t units = 0;
    for (char ch : utf8) {
        auto c = static_cast<unsigned char>(ch);
        if ((c & 0xC0) != 0x80) {
            units += (c >= 0xF0) ? 2 : 1;
        }
    }
    return units;
}

std::string TextCodec::TruncateUtf16(std::string_view utf8, size_t maxUnits) {
    size_t units = 0;
    size_t i = 0;
    while (i < utf8.size()) {
        auto c = static_cast<unsigned char>(utf8[i]);
        size_t len = c < 0x80 ? 1 : (c >= 0xF0 ? 4 : (c >= 0xE0 ? 3 : 2));
        size_t need = (c >= 0xF0) ? 2 : 1;
        if (units + need > maxUnits) {
            break;
        }
        units += need;
        i = std::min(utf8.size(), i + len);
    }
    return std::string(utf8.substr(0, i));
}

}  // namespace tarvo
