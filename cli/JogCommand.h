#pragma once

#include <string>
#include <vector>

#include "cli/DriveConnection.h"

namespace tarvo {

// `tarvoctl ... jog --velocity V --for DURATION`: runs the motor in profile velocity mode
// at V (in the dictionary's unit of 60FFh) for DURATION ("2s", "500ms", "5m"), then stops
// it; Ctrl-C and SIGTERM stop it early. The drive must be in Operation enabled. Whatever
// happens once the velocity has been written, the command writes 0 to 60FFh before it
// ends, and a quick stop when that is refused.
class JogCommand {
public:
    static int Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                   const std::string& programFolder);
};

}  // namespace tarvo
