#include "oscilloscope/ScopeLink.h"

#include "comm/ControlLink.h"

namespace tarvo {

int ControlScopeLink::Request(MessageTarget* window, SdoCommand command, uint32_t address,
                              uint32_t data) {
    return link_.Request(window, command, address, data);
}

DriveSegment ControlScopeLink::Segment() {
    return link_.GetSegment();
}

bool ControlScopeLink::DeferredQueueEmpty() {
    return link_.IsDeferredQueueEmpty() != 0;
}

}  // namespace tarvo
