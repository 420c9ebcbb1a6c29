#pragma once

#include <string>
#include <vector>

namespace tarvo::test {

// Failures injected into the file calls of the code under test, so that every error path
// of a file writer can be tried without file permissions (which root ignores). The calls
// are interposed in the test program; unarmed they pass straight through.
struct FileFaults {
    // Name of the call to fail ("mkostemp", "fchmod", "write", "fsync", "rename"), empty
    // for none, and the errno it fails with.
    static void Arm(const std::string& call, int error);
    static void Disarm() { Arm("", 0); }
    // What each fsync call synced since the last Clear: 'f' a regular file, 'd' a folder.
    static std::string Syncs();
    static void Clear();
};

}  // namespace tarvo::test
