#pragma once

#include <cstdint>
#include <string>

namespace tarvo::serial {

// Turns the configured port name into the device path to open. A name is a plain device
// name of at most 7 ASCII characters ("ttyUSB0", "pts/3"); it is looked for first under
// dev/ of the program folder (the current directory), then under /dev.
class PortPath {
public:
    // False, with `path` untouched, when the name is empty, too long, not ASCII, or tries
    // to leave the device folder.
    static bool FromName(const uint16_t (&units)[8], std::string& path);
    static bool IsPlainName(const std::string& name);
};

}  // namespace tarvo::serial
