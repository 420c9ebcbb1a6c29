#pragma once

#include <string>
#include <vector>

#include "cli/DriveConnection.h"

namespace tarvo {

// `tarvoctl ... watch ENTRY... [--interval MS] [--count N | --for DURATION] [--csv [FILE]]
// [--json]`: polls the entries over one connection and prints one timestamped row per poll
// (a table at a terminal, CSV otherwise, JSON lines with --json); --csv FILE also logs the
// rows to FILE as they arrive. Ctrl-C or SIGTERM ends it after the last whole row; a drive
// that stops answering ends it with exit 2, the rows so far kept.
class WatchCommand {
public:
    static int Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                   const std::string& programFolder);
};

}  // namespace tarvo
