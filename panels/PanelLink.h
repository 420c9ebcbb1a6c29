#pragma once

#include <cstdint>

#include "comm/DriveMessage.h"
#include "comm/LinkRequester.h"

namespace tarvo {

class MessageTarget;

// What a panel asks of the control link: requests, its real-time entries and the bytes of
// a segment reply. The program passes the control link itself (ControlPanelLink); tests
// pass a recorder.
class PanelLink : public LinkRequester {
public:
    // Registers a real-time entry of the window: class 2 writable, class 1 read-only.
    virtual int RegisterMonitor(MessageTarget* window, uint32_t key, MonitorClass monitorClass) = 0;
    virtual int EnableMonitor(MessageTarget* window) = 0;
    virtual int DisableMonitor(MessageTarget* window) = 0;
    // The segment of the reply being delivered; valid inside the WM_LINK_SEGMENT handler.
    virtual DriveSegment GetSegment() = 0;
};

}  // namespace tarvo
