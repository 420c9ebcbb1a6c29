#pragma once

#include <string>
#include <string_view>

namespace tarvo {

// Writes a whole file through a temporary file in the same folder that is renamed into
// place, so a crash or a full disk never leaves a half-written file behind.
class AtomicFile {
public:
    // Returns an empty text on success, else what went wrong (with the file name).
    static std::string Write(const std::string& path, std::string_view content);
    // Reads a whole file; false when it cannot be opened or read.
    static bool Read(const std::string& path, std::string& content);
};

}  // namespace tarvo
