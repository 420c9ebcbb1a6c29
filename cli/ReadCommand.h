#pragma once

#include <string>
#include <vector>

#include "DriveConnection.h"

namespace tarvo {

// `tarvoctl ... read INDEX:SUB`: prints the entry's value as the drive reports it.
class ReadCommand {
public:
    // `args`: the operands after the command word. Returns the process exit code.
    static int Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                   const std::string& programFolder);
};

}  // namespace tarvo
