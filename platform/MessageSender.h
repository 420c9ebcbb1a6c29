#pragma once

#include <cstdint>

#include "platform/MessageTarget.h"

namespace tarvo {

// Hands a message from a worker thread to a window on the user-interface thread and waits
// until the window has handled it, as a synchronous window message does.
class MessageSender {
public:
    virtual ~MessageSender() = default;
    // False when the delivery was abandoned because the program is shutting down.
    virtual bool Send(MessageTarget* target, uint32_t message, uintptr_t wParam,
                      intptr_t lParam) = 0;
};

}  // namespace tarvo
