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
    static void Opened(const ConnectionContext& context, const std::string& portName, uint32_t rate,
                       uint32_t nodeId, std::string statusText);
};

}  // namespace tarvo
