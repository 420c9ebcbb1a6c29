#pragma once

#include <string>
#include <string_view>

namespace tarvo {

// Decodes 8-bit text of one code page (GBK, WINDOWS-1252) into UTF-8, keeping its iconv
// handle between calls so bulk decoding stays cheap. Bytes that do not decode become
// U+FFFD. Not thread-safe: one decoder per thread.
class CodePageDecoder {
public:
    explicit CodePageDecoder(const char* codePage);
    ~CodePageDecoder();
    CodePageDecoder(const CodePageDecoder&) = delete;
    CodePageDecoder& operator=(const CodePageDecoder&) = delete;

    std::string Decode(std::string_view bytes);

private:
    void* handle_;
};

}  // namespace tarvo
