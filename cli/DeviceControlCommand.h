#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "cli/DriveConnection.h"

namespace tarvo {

// `tarvoctl ... state [--json]`, `enable`, `disable`, `quickstop` and `fault-reset`
// [--within SECONDS]: the drive profile's state, and the transitions toward Operation
// enabled, Switch on disabled (the voltage off), a quick stop and out of a fault. Each
// transition command exits 0 only once the statusword shows the state it asked for.
class DeviceControlCommand {
public:
    static int RunState(const std::vector<std::string>& args, const ConnectionOptions& options,
                        const std::string& programFolder);
    static int RunEnable(const std::vector<std::string>& args, const ConnectionOptions& options,
                         const std::string& programFolder);
    static int RunDisable(const std::vector<std::string>& args, const ConnectionOptions& options,
                          const std::string& programFolder);
    static int RunQuickStop(const std::vector<std::string>& args, const ConnectionOptions& options,
                            const std::string& programFolder);
    static int RunFaultReset(const std::vector<std::string>& args, const ConnectionOptions& options,
                             const std::string& programFolder);

    // "--within SECONDS" taken out of `args` (seconds, a fraction allowed, above 0 and at
    // most a day); nullopt with a message when it is malformed.
    static std::optional<std::chrono::milliseconds> TakeWithin(std::vector<std::string>& args,
                                                               std::chrono::milliseconds fallback);
};

}  // namespace tarvo
