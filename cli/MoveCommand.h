#pragma once

#include <string>
#include <vector>

#include "cli/DriveConnection.h"

namespace tarvo {

// `tarvoctl ... move --position N [--relative] [--velocity V] [--wait [--within SECONDS]]`:
// a profile position move to N counts (or by N counts), at V in the dictionary's unit of
// 6081h (else at the drive's profile velocity). The drive must be in Operation enabled.
// Without --wait it exits once the drive took the set-point; with --wait once the statusword
// shows the target reached (exit 0), or stops the motor on a fault, the time limit, Ctrl-C
// or SIGTERM (exit 4).
class MoveCommand {
public:
    static int Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                   const std::string& programFolder);
};

}  // namespace tarvo
