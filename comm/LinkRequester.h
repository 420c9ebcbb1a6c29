#pragma once

#include <cstdint>

#include "protocol/DriveProtocol.h"

namespace tarvo {

class MessageTarget;

// The one way a window asks the drive for something: queue a request and return. The
// outcome arrives later as a message to the window (WM_LINK_VALUE, WM_LINK_SEGMENT,
// WM_LINK_ABORT). Returns 1 when the request had to wait in the deferred queue, else 0.
class LinkRequester {
public:
    virtual ~LinkRequester() = default;
    virtual int Request(MessageTarget* window, SdoCommand command, uint32_t address,
                        uint32_t data) = 0;
};

}  // namespace tarvo
