#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvo {

// The options that say how tarvoctl reaches a drive, accepted anywhere on the line:
// --port NAME, --baud RATE, --can, --bitrate RATE, --node N, --timeout MS, --trace FILE.
// A port may be a short name (ttyUSB0, pts/3), a longer one or a full path (PortAlias).
struct ConnectionOptions {
    bool can = false;
    uint32_t bitRateCode = 0x001C;  // 500 kbit/s
    std::string port;
    uint32_t baud = 115200;
    uint32_t node = 1;
    uint32_t timeoutMs = 500;
    bool timeoutGiven = false;  // --timeout was on the line
    std::string trace;          // file of the exchanges; empty: none

    // Removes the connection options from `args`, leaving the command's words and its own
    // options in order. False, with a message on standard error, on a bad or missing value.
    static bool Take(std::vector<std::string>& args, ConnectionOptions& options);
};

// The usage lines of the connection options, for the commands' usage texts.
extern const char* const kConnectionUsage;

}  // namespace tarvo
