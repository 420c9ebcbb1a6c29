#pragma once

#include <string>
#include <vector>

namespace tarvo {

// `tarvoctl dict find TEXT [--json] [--lang 1|2] [FILE]`: the dictionary browser's search
// on the command line, every entry whose name holds TEXT with its key, name, data type and
// unit, in the interface language (the settings file's, else English) or the one asked for.
class DictFindCommand {
public:
    // Returns the process exit code: 0 with matches, 1 for bad input or none found.
    static int Run(const std::vector<std::string>& args, const std::string& programFolder);
};

}  // namespace tarvo
