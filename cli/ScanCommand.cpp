#include "cli/ScanCommand.h"

#include <cstdio>
#include <iostream>

#include "cli/ExitCode.h"

namespace tarvo {

namespace {

constexpr uint32_t kDeviceType = 0x100000;
constexpr uint32_t kDeviceName = 0x100800;
constexpr uint32_t kScanTimeoutMs = 50;

}  // namespace

int ScanCommand::Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                     const std::string& programFolder) {
    if (!args.empty()) {
        std::cerr << "usage: tarvoctl --can [--bitrate RATE] [--timeout MS] scan\n";
        return ExitCode::BadInput;
    }
    if (!options.can) {
        std::cerr << "tarvoctl: scan looks for drives on a CAN bus: add --can\n";
        return ExitCode::BadInput;
    }
    ConnectionOptions scan = options;
    if (!scan.timeoutGiven) {
        scan.timeoutMs = kScanTimeoutMs;
    }
    DriveConnection drive(scan, programFolder);
    int code = drive.Open();
    if (code != ExitCode::Done) {
        return drive.Close(code);
    }
    drive.SetProbing(true);
    int found = 0;
    for (uint32_t node = 1; node <= 127; ++node) {
        drive.SetNode(node);
        DriveConnection::Reply reply;
        code = drive.Exchange(SdoCommand::Read, kDeviceType, 0, reply);
        if (code == ExitCode::NoAnswer) {
            continue;  // nobody at this node
        }
        ++found;
        std::string name;
        uint32_t abortCode = 0;
        if (drive.Upload(kDeviceName, name, abortCode) != ExitCode::Done) {
            name.clear();
        }
        char line[64];
        if (code == ExitCode::Done) {
            std::snprintf(line, sizeof line, "node %3u  device type 0x%08X  ", node, reply.value);
        } else {
            std::snprintf(line, sizeof line, "node %3u  device type refused   ", node);
        }
        std::cout << line << name << '\n';
    }
    std::cout.flush();
    if (found == 0) {
        std::cerr << "tarvoctl: no drive answered on the bus\n";
        return drive.Close(ExitCode::NoAnswer);
    }
    return drive.Close(ExitCode::Done);
}

}  // namespace tarvo
