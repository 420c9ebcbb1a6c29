#pragma once

#include <string>
#include <vector>

#include "cli/DriveConnection.h"

namespace tarvo {

// `tarvoctl CONNECTION scope --channel N=ENTRY ... [--trigger ENTRY|manual] [--level V]
// [--edge 0|1] [--period N] [--pretrigger N] [--total N] [--record FILE.txt] [--csv FILE]
// [--wait S]`: configures the drive's oscilloscope as the program's view does, runs one
// capture, uploads and decodes the record and writes the record file and sample table
// exactly as the view writes them. Exit code 0 only for a complete, decoded record.
class ScopeCommand {
public:
    static int Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                   const std::string& programFolder);
};

}  // namespace tarvo
