#pragma once

#include <string>
#include <vector>

#include "cli/DriveConnection.h"

namespace tarvo {

// `tarvoctl ... upload ENTRY`: prints the text of a segmented upload; an entry the dictionary
// gives a number type is read and printed as `read` prints it.
class UploadCommand {
public:
    // `args`: the operands after the command word. Returns the process exit code.
    static int Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                   const std::string& programFolder);
};

}  // namespace tarvo
