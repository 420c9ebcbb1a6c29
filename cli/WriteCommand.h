#pragma once

#include <string>
#include <vector>

#include "cli/DriveConnection.h"

namespace tarvo {

// `tarvoctl ... write ENTRY VALUE [--width 8|16|32] [--unit NAME]`: writes the value (a raw
// whole number, or a value in one of the entry's write units) and prints what the drive
// reports. The width comes from the dictionary when --width is absent.
class WriteCommand {
public:
    // `args`: the operands after the command word. Returns the process exit code.
    static int Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                   const std::string& programFolder);
};

}  // namespace tarvo
