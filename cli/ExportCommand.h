#pragma once

#include <string>
#include <vector>

#include "cli/DriveConnection.h"

namespace tarvo {

// `tarvoctl ... export LIST.cdo OUT.cdi`: reads every entry of the object list from the drive
// and writes the parameter file. Exit code 0 when every row was read, 3 when the drive
// refused some (the file is written, those rows marked "Fail"), 2 when it stopped answering
// (no file is written), 1 for bad input.
class ExportCommand {
public:
    static int Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                   const std::string& programFolder);
};

}  // namespace tarvo
