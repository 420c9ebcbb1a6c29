#pragma once

#include <string>
#include <vector>

#include "DriveConnection.h"

namespace tarvo {

// `tarvoctl ... write INDEX:SUB VALUE --width 8|16|32`: writes the value and prints what the
// drive reports.
class WriteCommand {
public:
    // `args`: the operands after the command word. Returns the process exit code.
    static int Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                   const std::string& programFolder);
};

}  // namespace tarvo
