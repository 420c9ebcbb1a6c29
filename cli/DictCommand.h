#pragma once

#include <string>
#include <vector>

namespace tarvo {

// `tarvoctl dict build SOURCE OUT.dat` and `tarvoctl dict dump [--json] [--lang 1|2] [FILE]`.
class DictCommand {
public:
    // Returns the process exit code.
    static int Run(const std::vector<std::string>& args, const std::string& programFolder,
                   int nodeId = 1);

private:
    static int Build(const std::vector<std::string>& args);
    static int Dump(const std::vector<std::string>& args, const std::string& programFolder);
};

}  // namespace tarvo
