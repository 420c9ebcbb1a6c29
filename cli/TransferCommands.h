#pragma once

#include <string>
#include <vector>

#include "DiffCommand.h"
#include "ExportCommand.h"
#include "ImportCommand.h"

namespace tarvo::TransferCommands {

// Runs export, import or diff when the command word (the first word that is neither an option
// nor an option's value) names one; false otherwise.
inline bool Run(const std::vector<std::string>& args, const std::string& folder, int& exitCode) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--port" || arg == "--baud" || arg == "--node" || arg == "--timeout" ||
            arg == "--bitrate" || arg == "--trace" || arg == "--width") {
            ++i;
            continue;
        }
        if (arg.rfind("--", 0) == 0) {
            continue;
        }
        if (arg == "export") {
            exitCode = ExportCommand::Run(args, folder);
        } else if (arg == "import") {
            exitCode = ImportCommand::Run(args, folder);
        } else if (arg == "diff") {
            exitCode = DiffCommand::Run(args, folder);
        } else {
            return false;
        }
        return true;
    }
    return false;
}

}  // namespace tarvo::TransferCommands
