#include "cli/ScanCommand.h"

#include <cstdio>
#include <iostream>

#include "cli/ArgumentText.h"
#include "cli/ExitCode.h"

namespace tarvo {

namespace {

constexpr uint32_t kDeviceType = 0x100000;
constexpr uint32_t kDeviceName = 0x100800;
constexpr uint32_t kIdentity = 0x101800;  // subindices 1-4: vendor, product, revision, serial
constexpr const char* kIdentityNames[] = {"vendor", "product", "revision", "serial"};
constexpr uint32_t kScanTimeoutMs = 50;

constexpr const char* kUsage =
    "usage: tarvoctl --can [--bitrate RATE] [--timeout MS] scan [--nodes LIST]\n"
    "  LIST: nodes and ranges, e.g. 1-127 (the default), 5 or 1,3,10-20\n";

struct FoundNode {
    uint32_t node;
    DriveConnection::NodeAnswer answer;
};

// Asks one node after the other, for a CAN library that scans no bus itself.
int ProbeOneByOne(DriveConnection& drive, const std::vector<uint32_t>& nodes,
                  std::vector<FoundNode>& found) {
    for (uint32_t node : nodes) {
        drive.SetNode(node);
        DriveConnection::Reply reply;
        int code = drive.Exchange(SdoCommand::Read, kDeviceType, 0, reply);
        if (code == ExitCode::NoAnswer) {
            continue;  // nobody at this node
        }
        DriveConnection::NodeAnswer answer;
        answer.present = true;
        answer.refused = code == ExitCode::Refused;
        answer.value = answer.refused ? reply.abortCode : reply.value;
        found.push_back({node, answer});
    }
    return ExitCode::Done;
}

// One line: node, device type, identity, device name; "-" for what the node does not tell.
std::string Describe(DriveConnection& drive, const FoundNode& found) {
    drive.SetNode(found.node);
    char text[64];
    if (found.answer.refused) {
        std::snprintf(text, sizeof text, "node %3u  device type refused   ", found.node);
    } else {
        std::snprintf(text, sizeof text, "node %3u  device type 0x%08X  ", found.node,
                      found.answer.value);
    }
    std::string line = text;
    for (uint32_t sub = 1; sub <= 4; ++sub) {
        DriveConnection::Reply reply;
        if (drive.Exchange(SdoCommand::Read, kIdentity | sub, 0, reply) == ExitCode::Done) {
            std::snprintf(text, sizeof text, "%s 0x%08X  ", kIdentityNames[sub - 1], reply.value);
        } else {
            std::snprintf(text, sizeof text, "%s -  ", kIdentityNames[sub - 1]);
        }
        line += text;
    }
    std::string name;
    uint32_t abortCode = 0;
    if (drive.Upload(kDeviceName, name, abortCode) != ExitCode::Done) {
        name.clear();
    }
    return line + (name.empty() ? "-" : name);
}

}  // namespace

int ScanCommand::Run(const std::vector<std::string>& args, const ConnectionOptions& options,
                     const std::string& programFolder) {
    std::vector<uint32_t> nodes;
    if (args.empty()) {
        ArgumentText::ParseNodes("1-127", nodes);
    } else if (args.size() != 2 || args[0] != "--nodes" ||
               !ArgumentText::ParseNodes(args[1], nodes)) {
        if (args.size() == 2 && args[0] == "--nodes") {
            std::cerr << "tarvoctl: --nodes takes nodes from 1 to 127 and ranges, e.g. 1-127 "
                         "or 1,3,10-20, not \""
                      << args[1] << "\"\n";
        }
        std::cerr << kUsage;
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
    std::vector<FoundNode> found;
    std::vector<DriveConnection::NodeAnswer> answers;
    if (drive.ProbeNodes(nodes, kDeviceType, answers, code)) {
        if (code != ExitCode::Done) {
            return drive.Close(code);
        }
        for (size_t i = 0; i < nodes.size(); ++i) {
            if (answers[i].present) {
                found.push_back({nodes[i], answers[i]});
            }
        }
    } else {
        ProbeOneByOne(drive, nodes, found);
    }
    for (const FoundNode& node : found) {
        std::cout << Describe(drive, node) << '\n';
    }
    std::cout.flush();
    if (found.empty()) {
        std::cerr << "tarvoctl: no drive answered on the bus\n";
        return drive.Close(ExitCode::NoAnswer);
    }
    return drive.Close(ExitCode::Done);
}

}  // namespace tarvo
