#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvo {

// `tarvoctl [--port NAME] [--baud RATE] [--node N] [--timeout MS] [--trace FILE] read
// INDEX:SUB | write INDEX:SUB VALUE --width 8|16|32 | upload INDEX:SUB`: one exchange (or
// one segmented upload) with a drive on a serial port, through the control link.
class LinkCommand {
public:
    // True when the arguments name one of the link commands.
    static bool Handles(const std::vector<std::string>& args);
    // Returns the process exit code: 0 done, 1 bad input or no port, 2 no usable answer
    // from the drive, 3 the drive refused (abort code printed).
    static int Run(const std::vector<std::string>& args, const std::string& programFolder);

    // "6041:0", "0x2300:0x10": hexadecimal index and subindex. False on anything else.
    static bool ParseAddress(const std::string& text, uint32_t& address);
    // Decimal (a leading '-' allowed) or hexadecimal after "0x", within the width's range.
    static bool ParseValue(const std::string& text, int widthBits, uint32_t& value);
};

}  // namespace tarvo
