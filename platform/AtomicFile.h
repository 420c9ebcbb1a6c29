#pragma once

#include <string>
#include <string_view>

namespace tarvo {

// Writes a whole file through a temporary file in the same folder that is renamed into
// place, so a crash or a full disk never leaves a half-written file behind: the target is
// always either the old file or the complete new one.
class AtomicFile {
public:
    // Returns an empty text on success, else what went wrong (with the file name). A file
    // being replaced keeps its permissions (and owner, where allowed); the data and then
    // the folder are synced before success is reported. No temporary file stays behind on
    // any failure, and temporaries of this file left by killed processes are removed first.
    // A target that exists but is no regular file (a folder, a FIFO, a device) is refused;
    // a symbolic link is followed, so the file it names is replaced.
    static std::string Write(const std::string& path, std::string_view content);

    // Reads a whole regular file; false when it is missing, is no regular file (a FIFO
    // never blocks the caller) or cannot be read.
    static bool Read(const std::string& path, std::string& content);

    // The name start of the temporaries that process `pid` makes for `path`:
    // "<path>.tmp-<pid>-" followed by six random characters.
    static std::string TemporaryPrefix(const std::string& path, long pid);
};

}  // namespace tarvo
