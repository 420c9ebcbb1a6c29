#pragma once

#include <string>
#include <vector>

#include "cli/DriveConnection.h"

namespace tarvo {

// `tarvoctl ... import FILE.cdi [--changed-only] [--store] [--reboot]`: writes every row of the
// parameter file and reads each back (with --changed-only: reads every row once, then writes
// and reads back only the rows that differ). --store saves the parameters in the drive and --reboot
// restarts it, each only when everything before it succeeded. Exit code 0 when every row was
// written and verified (and stored), 3 when rows failed or differ or the store failed, 2 when the
// drive stopped answering, 1 for bad input.
class ImportCommand {
public:
    static int Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                   const std::string& programFolder);
};

}  // namespace tarvo
