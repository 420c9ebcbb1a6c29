#include "oscilloscope/Utf16Text.h"

#include <cstdint>

namespace tarvo::Utf16Text {

namespace {

void PutUnit(std::string& out, uint32_t unit) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
}

void PutUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | code >> 6));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | code >> 12));
        out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | code >> 18));
        out.push_back(static_cast<char>(0x80 | (code >> 12 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

}  // namespace

std::string FromUtf8(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() * 2);
    for (size_t i = 0; i < utf8.size();) {
        auto byte = static_cast<uint8_t>(utf8[i]);
        int extra = byte < 0x80             ? 0
                    : (byte & 0xE0) == 0xC0 ? 1
                    : (byte & 0xF0) == 0xE0 ? 2
                    : (byte & 0xF8) == 0xF0 ? 3
                                            : -1;
        uint32_t code = extra == 0   ? byte
                        : extra == 1 ? byte & 0x1F
                        : extra == 2 ? byte & 0x0F
                                     : byte & 0x07;
        bool valid = extra >= 0 && i + static_cast<size_t>(extra) < utf8.size();
        for (int k = 1; valid && k <= extra; ++k) {
            auto next = static_cast<uint8_t>(utf8[i + static_cast<size_t>(k)]);
            valid = (next & 0xC0) == 0x80;
            code = code << 6 | (next & 0x3F);
        }
        if (!valid || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            PutUnit(out, 0xFFFD);
            ++i;
            continue;
        }
        i += static_cast<size_t>(extra) + 1;
        if (code >= 0x10000) {
            code -= 0x10000;
            PutUnit(out, 0xD800 | code >> 10);
            PutUnit(out, 0xDC00 | (code & 0x3FF));
        } else {
            PutUnit(out, code);
        }
    }
    return out;
}

std::string ToUtf8(std::string_view utf16le) {
    std::string out;
    out.reserve(utf16le.size() / 2);
    for (size_t i = 0; i + 1 < utf16le.size(); i += 2) {
        uint32_t unit = static_cast<uint8_t>(utf16le[i]) |
                        static_cast<uint32_t>(static_cast<uint8_t>(utf16le[i + 1])) << 8;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < utf16le.size()) {
            uint32_t low = static_cast<uint8_t>(utf16le[i + 2]) |
                           static_cast<uint32_t>(static_cast<uint8_t>(utf16le[i + 3])) << 8;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                PutUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        PutUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : unit);
    }
    return out;
}

}  // namespace tarvo::Utf16Text
