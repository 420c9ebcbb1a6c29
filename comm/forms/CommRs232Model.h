#pragma once

#include <functional>
#include <string>
#include <vector>

#include "comm/ConnectionContext.h"

namespace tarvo {

// The RS232 settings form (dialog 124): port and baud lists, node ID and the status icon
// button that opens and closes the connection.
class CommRs232Model {
public:
    using PortLister = std::function<std::vector<std::string>()>;

    // `baudEntries` are the texts of the baud list as the resources give them.
    CommRs232Model(const ConnectionContext& context, PortLister listPorts,
                   std::vector<std::string> baudEntries);

    void Create();
    // Refills the port list while the connection is not open; keeps the selection.
    void Redraw();
    // The status icon button: opens or closes the connection.
    void Toggle();
    void SelectPort(int index);
    void SelectBaud(int index);
    void SetNodeId(int nodeId) { nodeId_ = nodeId; }

    const std::vector<std::string>& Ports() const { return ports_; }
    const std::vector<std::string>& BaudEntries() const { return baudEntries_; }
    int SelectedPort() const { return selectedPort_; }
    int SelectedBaud() const { return selectedBaud_; }
    int NodeId() const { return nodeId_; }
    // 204 while the connection is open, 203 while closed.
    int StatusIcon() const;

private:
    void FillPorts();
    bool OpenConnection();

    ConnectionContext context_;
    PortLister listPorts_;
    std::vector<std::string> ports_;
    std::vector<std::string> baudEntries_;
    int selectedPort_ = -1;
    int selectedBaud_ = -1;
    int nodeId_ = 1;
};

}  // namespace tarvo
