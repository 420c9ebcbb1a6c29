#pragma once

#include <cstddef>
#include <string>

namespace tarvo {

// Reads a file the program takes as input: a project, a settings or definition file, a
// parameter file, an object list, a record. None of these is ever more than a few hundred
// kilobytes, so a file far larger than that is refused at once, before anything is read,
// and a FIFO or device in its place never blocks the caller.
class InputFile {
public:
    static constexpr size_t kDefaultLimit = size_t{8} << 20;

    // Empty on success, with the whole file in content; else a sentence that names the
    // file and says what is wrong with it, and content is left as it was.
    static std::string Read(const std::string& path, std::string& content,
                            size_t limit = kDefaultLimit);
};

}  // namespace tarvo
