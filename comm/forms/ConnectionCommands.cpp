#include "comm/forms/ConnectionCommands.h"

#include "comm/ConnectionSession.h"
#include "comm/ControlLink.h"
#include "platform/MessageTarget.h"

namespace tarvo {

void ConnectionCommands::Close(const ConnectionContext& context) {
    context.switches.connectionState = ConnectionState::Closed;
    context.link.Close();
    if (context.mainFrame != nullptr) {
        context.mainFrame->onMessage(WM_LINK_FAILURE, 0, 0);
    }
}

bool ConnectionCommands::IsOpenOn(const ConnectionContext& context, int32_t mode) {
    if (context.switches.connectionState != ConnectionState::Open) {
        return false;
    }
    int32_t open = context.link.OpenInterface();
    return open == mode || (open != kModeRs232 && open != kModeCan);
}

bool ConnectionCommands::OpenFailed(const ConnectionContext& context) {
    int32_t open = context.link.OpenInterface();
    if (context.switches.connectionState == ConnectionState::Open &&
        (open == kModeRs232 || open == kModeCan)) {
        return true;
    }
    Close(context);
    return false;
}

void ConnectionCommands::Opened(const ConnectionContext& context, const std::string& portName,
                                uint32_t rate, uint32_t nodeId, std::string statusText) {
    if (context.mainFrame != nullptr) {
        context.mainFrame->onMessage(WM_CONNECTION_OPENED, 0, 0);
    }
    ConnectionSession& session = context.session;
    session.connectInProgress = 1;
    session.openedOnce = 1;
    session.lastPortName = portName;
    session.lastRate = rate;
    session.lastNodeId = static_cast<uint8_t>(nodeId);
    session.statusText = std::move(statusText);
    context.switches.connectionState = ConnectionState::Open;
}

}  // namespace tarvo
