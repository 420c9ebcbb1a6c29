#pragma once

#include <string>

namespace tarvo {

// Where tarvoctl finds data/, sys/ and dev/: the current directory when it is a program
// folder, else the folder of the tarvoctl executable when that is one, so that the tool
// works from any folder. `--folder DIR` overrides both.
class ProgramFolder {
public:
    // True when `folder` holds the dictionary data file.
    static bool IsProgramFolder(const std::string& folder);
    // `current` when it is a program folder, else the folder of `executable` when it is
    // one, else `current` (whose missing files are then reported by the command).
    static std::string Find(const std::string& current, const std::string& executable);
    // The path of the running executable, or empty.
    static std::string OwnExecutable();
};

}  // namespace tarvo
