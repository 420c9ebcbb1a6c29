#pragma once

#include <string>
#include <vector>

#include "cli/DriveConnection.h"

namespace tarvo {

// `tarvoctl ... diff FILE.cdi`: reads every entry of the parameter file from the drive and
// prints the rows whose value differs (key, name, file value, drive value). Exit code 0 when
// none differ, 1 when some differ or could not be compared, 2 for bad input or a drive that
// stopped answering.
class DiffCommand {
public:
    static int Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                   const std::string& programFolder);
};

}  // namespace tarvo
