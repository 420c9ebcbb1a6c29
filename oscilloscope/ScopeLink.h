#pragma once

#include "comm/DriveMessage.h"
#include "comm/LinkRequester.h"

namespace tarvo {

class ControlLink;

// What the oscilloscope needs of the control link: queueing requests, the bytes of the
// segment being delivered, and whether other windows' requests still wait.
class ScopeLink : public LinkRequester {
public:
    // Valid only inside the handler of WM_LINK_SEGMENT.
    virtual DriveSegment Segment() = 0;
    virtual bool DeferredQueueEmpty() = 0;
};

// The program's control link as the oscilloscope's link.
class ControlScopeLink : public ScopeLink {
public:
    explicit ControlScopeLink(ControlLink& link) : link_(link) {}
    int Request(MessageTarget* window, SdoCommand command, uint32_t address,
                uint32_t data) override;
    DriveSegment Segment() override;
    bool DeferredQueueEmpty() override;

private:
    ControlLink& link_;
};

}  // namespace tarvo
