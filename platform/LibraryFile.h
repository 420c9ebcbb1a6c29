#pragma once

#include <string>

namespace tarvo {

// Loads a shared library from a path after checking what the dynamic loader does not: that
// the path names a regular file (a FIFO would block the loader forever) and that an ELF
// file holds every segment it declares (the loader maps a truncated file and the program
// dies of SIGBUS on the first page past its end).
class LibraryFile {
public:
    // The handle of the loaded library, or null with the reason in `error` (the check's
    // finding or the loader's own message).
    static void* Open(const std::string& path, std::string& error);

    // Why the library cannot be loaded, or an empty text when it can (it is loaded and
    // unloaded again to find out): for messages after a load elsewhere failed.
    static std::string Diagnose(const std::string& path);

    // Empty when the file may be handed to the loader, else why not.
    static std::string Check(const std::string& path);
};

}  // namespace tarvo
