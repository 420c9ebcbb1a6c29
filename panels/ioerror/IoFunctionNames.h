#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ProfileFile.h"

namespace tarvo {

// The names of the I/O function bits in sys/DataInOut.ini: section "in" for the inputs,
// "out" for the outputs, key "enBitNN" (English) or "chBitNN" (Chinese). Bit k of a function
// value is named under number k + 1. The file is read once, when the panel is made.
class IoFunctionNames {
public:
    enum class Kind { kInput = 0, kOutput = 1 };

    // What a port's function field and hint show for its function bits.
    struct Description {
        std::string text;                // names joined with "+", or "NULL"
        std::vector<std::string> lines;  // "1.name", "2.name", ...
    };

    IoFunctionNames(std::string path, bool chinese)
        : file_(ProfileFile::ReadOnce(std::move(path))), chinese_(chinese) {}

    // What is wrong with the file (unreadable, empty, no "in" or "out" names), or empty.
    std::string Problem() const;

    // The name under a number (00..99), empty when the key is missing.
    std::string Name(Kind kind, int number) const;
    // The bit (0-based) whose English name is `englishName`, ignoring case; -1 for none.
    // Meanings such as the fault output are found by name, whichever the language shown.
    int BitNamed(Kind kind, std::string_view englishName) const;
    // The names of the set bits that have one, numbered in order.
    Description Describe(Kind kind, uint32_t bits) const;

    bool Chinese() const { return chinese_; }

private:
    ProfileFile file_;
    bool chinese_;
};

}  // namespace tarvo
