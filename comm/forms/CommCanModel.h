#pragma once

#include <string>

#include "comm/ConnectionContext.h"

namespace tarvo {

// The CAN settings form (dialog 123): bit-rate list, node ID, the library's version and the
// status icon button that opens and closes the connection.
class CommCanModel {
public:
    explicit CommCanModel(const ConnectionContext& context) : context_(context) {}

    void Create();
    void Toggle();
    void SelectBitRate(int entry);
    void SetNodeId(int nodeId) { nodeId_ = nodeId; }
    // "Detail": the whole version text (or why it could not be read), the bit rate, the node
    // and, while open, the status text.
    std::string Detail();

    int SelectedBitRate() const { return selectedEntry_; }
    int NodeId() const { return nodeId_; }
    // "CAN Ver" followed by the version from its last ':'; empty until a version was read,
    // while the form shows its resource text.
    const std::string& VersionCaption() const { return versionCaption_; }
    int StatusIcon() const;

private:
    bool QueryVersion(std::string& text);
    void ShowVersion();
    bool OpenConnection();
    std::string FailureReason();

    ConnectionContext context_;
    int selectedEntry_ = -1;
    int nodeId_ = 1;
    bool versionShown_ = false;
    std::string versionCaption_;
};

}  // namespace tarvo
