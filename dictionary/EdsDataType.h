#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvo {

// The CiA 301 data types an EDS names by number, with what our dictionary calls them.
struct EdsDataType {
    uint16_t number = 0;
    const char* edsName = "";  // as CiA 301 spells it
    const char* ourName =
        nullptr;        // the dictionary's data type; nullptr when our values cannot hold it
    uint8_t width = 0;  // bytes of a number; 0 for texts and domains
    bool isSigned = false;
    int64_t minimum = 0;
    int64_t maximum = 0;

    // The type of that CiA 301 number, or nullptr when unknown.
    static const EdsDataType* FromNumber(uint32_t number);
    // The type our dictionary calls `name` (either "VISIBLE STRING" or "VISIBLE_STRING"),
    // or nullptr.
    static const EdsDataType* FromOurName(std::string_view name);
};

// The integers of an EDS: decimal, "0x" hexadecimal or octal with a leading 0, an optional
// sign, and "$NODEID" as a term of a sum ("$NODEID+0x180", "0x200+$NODEID").
class EdsNumber {
public:
    // False with the reason in `why` when the text is no such number.
    static bool Parse(std::string_view text, int nodeId, int64_t& value, std::string& why);
};

}  // namespace tarvo
