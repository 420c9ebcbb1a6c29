#pragma once

#include <cstdint>
#include <string>

#include "comm/ConnectionContext.h"

namespace tarvo {

// The steps the connection forms share when they close or open the connection.
class ConnectionCommands {
public:
    // Closed (by the user or after a failed open): the state, the link and the main frame.
    static void Close(const ConnectionContext& context);
    // A successful open: the main frame is told, the flags and last settings are kept and
    // the connection counts as open.
    // Whether the open connection is one of `mode`'s (2 RS232, 5 CAN): that is the one the
    // form's button closes; one of the other interface stays open until a new one opens.
    static bool IsOpenOn(const ConnectionContext& context, int32_t mode);
    // A failed open: a connection of the other interface that is still open stays open
    // (true); otherwise the connection is closed.
    static bool OpenFailed(const ConnectionContext& context);
    static void Opened(const ConnectionContext& context, const std::string& portName, uint32_t rate,
                       uint32_t nodeId, std::string statusText);
};

}  // namespace tarvo
