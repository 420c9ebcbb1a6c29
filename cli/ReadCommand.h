#pragma once

#include <string>
#include <vector>

#include "cli/DriveConnection.h"

namespace tarvo {

// `tarvoctl ... read ENTRY... [--raw | --unit NAME] [--json]`: the values of one or more
// entries over one connection, in each entry's first unit (hexadecimal where the
// dictionary shows hex, text for VISIBLE STRING entries). One entry prints its value
// alone; several print "KEY<tab>VALUE<tab>NAME" lines; --json one object per entry.
class ReadCommand {
public:
    // `args`: the operands after the command word. Returns the process exit code.
    static int Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                   const std::string& programFolder);
};

}  // namespace tarvo
