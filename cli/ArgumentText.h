#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvo {

// Parsers of the numbers and entry keys on tarvoctl's command line.
class ArgumentText {
public:
    // Decimal digits only, at most 32 bits.
    static bool ParseUnsigned(const std::string& text, uint32_t& value);
    // Hexadecimal with an optional "0x", at most `maxDigits` digits.
    static bool ParseHexField(std::string text, size_t maxDigits, uint32_t& value);
    // "6041:0", "0x2300:0x10": hexadecimal index and subindex. False on anything else.
    static bool ParseAddress(const std::string& text, uint32_t& address);
    // Decimal (a leading '-' allowed) or hexadecimal after "0x", within the width's range.
    static bool ParseValue(const std::string& text, int widthBits, uint32_t& value);
    // CAN node IDs: "1-127", "5", "1,3,10-20", in ascending order, each once. False on
    // anything else, a node outside 1-127 or a range that runs backwards.
    static bool ParseNodes(const std::string& text, std::vector<uint32_t>& nodes);
    // "10", "10s", "500ms", "5m", "1h" as seconds; false on anything else or zero.
    static bool ParseDuration(const std::string& text, double& seconds);
};

}  // namespace tarvo
