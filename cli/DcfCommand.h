#pragma once

#include <string>
#include <vector>

#include "cli/ConnectionOptions.h"

namespace tarvo {

class ImportDrvDataModel;

// Device configuration files (CiA 306 DCF) for `tarvoctl export` and `tarvoctl import`.
class DcfCommand {
public:
    // `export --dcf OUT.dcf`: the EDS of the dictionary with [DeviceComissioning] and the
    // ParameterValue of every number entry as the drive holds it.
    static int Export(const std::vector<std::string>& args, const ConnectionOptions& options,
                      const std::string& programFolder);
    // Loads the writable ParameterValue rows of a DCF into the import; the rows it skips
    // (read-only entries, texts) go to standard error. False, with why, when it cannot.
    static bool LoadInto(const std::string& path, const ConnectionOptions& options,
                         ImportDrvDataModel& model);
};

}  // namespace tarvo
