#pragma once

#include <string>
#include <vector>

#include "cli/DriveConnection.h"

namespace tarvo {

// `tarvoctl ports`: the serial ports as the RS232 form finds them, one a line, each with
// what the system tells of it (the USB adapter, or where a link points).
class PortsCommand {
public:
    static int Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                   const std::string& programFolder);
};

}  // namespace tarvo
