#pragma once

#include <string>
#include <vector>

#include "cli/DriveConnection.h"

namespace tarvo {

// `tarvoctl --can scan`: asks nodes 1-127 for 1000h:00 (device type) with a short timeout
// (50 ms unless --timeout says otherwise) and lists the drives that answer, with their
// device name (1008h:00).
class ScanCommand {
public:
    static int Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                   const std::string& programFolder);
};

}  // namespace tarvo
