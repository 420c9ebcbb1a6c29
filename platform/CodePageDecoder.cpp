#include "platform/CodePageDecoder.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace tarvo {

namespace {
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
}

CodePageDecoder::CodePageDecoder(const char* codePage) {
    iconv_t cd = iconv_open("UTF-8", codePage);
    handle_ = (cd == reinterpret_cast<iconv_t>(-1)) ? nullptr : cd;
}

CodePageDecoder::~CodePageDecoder() {
    if (handle_ != nullptr) {
        iconv_close(static_cast<iconv_t>(handle_));
    }
}

std::string CodePageDecoder::Decode(std::string_view bytes) {
    bool ascii = std::all_of(bytes.begin(), bytes.end(),
                             [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        return std::string(bytes);
    }
    std::string out;
    if (handle_ == nullptr) {
        // Without a converter only ASCII can be trusted.
        for (char c : bytes) {
            if (static_cast<unsigned char>(c) < 0x80) {
                out += c;
            } else {
                out += kReplacement;
            }
        }
        return out;
    }
    auto cd = static_cast<iconv_t>(handle_);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    out.resize(bytes.size() * 3 + 8);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    size_t used = 0;
    while (inLeft > 0) {
        if (out.size() - used < 16) {
            out.resize(out.size() * 2);
        }
        char* outPtr = out.data() + used;
        size_t outLeft = out.size() - used;
        size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        used = static_cast<size_t>(outPtr - out.data());
        if (rc != static_cast<size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // An invalid or truncated sequence: replace one byte and go on.
        if (out.size() - used < kReplacement.size()) {
            out.resize(out.size() * 2);
        }
        out.replace(used, kReplacement.size(), kReplacement);
        used += kReplacement.size();
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(used);
    return out;
}

}  // namespace tarvo
