#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/DriveConnection.h"

namespace tarvo {

// `tarvoctl --can scan [--nodes LIST]`: asks every node (1-127, or those of LIST) for
// 1000h:00 (device type) and lists each node that answers, a refusal included, in one line
// with its identity (1018h:01-04) and device name (1008h:00). The probes go out back to back
// and the replies are collected within one reply timeout (50 ms unless --timeout says
// otherwise); a CAN library that cannot scan a bus is asked node by node instead.
class ScanCommand {
public:
    static int Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                   const std::string& programFolder);
};

}  // namespace tarvo
