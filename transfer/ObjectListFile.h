#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvo {

// An object list (.cdo): one object word per line in hexadecimal, read leniently (blanks and
// other characters are skipped). A line longer than 23 characters yields one object word per
// piece of 23, so a damaged list still shows every piece as a row of its own.
class ObjectListFile {
public:
    static constexpr size_t kPieceLength = 23;

    struct Item {
        uint32_t word = 0;
        int line = 0;                    // from 1
        bool fromLongLine = false;       // the line was cut into pieces
        bool skippedCharacters = false;  // characters other than hex digits and blanks
    };

    static std::vector<Item> Parse(std::string_view text);
    // Empty on success; else why the file cannot be read (items are left as they were).
    static std::string Read(const std::string& path, std::vector<Item>& items);
};

}  // namespace tarvo
