#pragma once

#include "comm/ControlLink.h"
#include "panels/PanelLink.h"

namespace tarvo {

// The control link as the panels use it.
class ControlPanelLink : public PanelLink {
public:
    explicit ControlPanelLink(ControlLink& link) : link_(link) {}

    int Request(MessageTarget* window, SdoCommand command, uint32_t address,
                uint32_t data) override {
        return link_.Request(window, command, address, data);
    }
    int RegisterMonitor(MessageTarget* window, uint32_t key, MonitorClass monitorClass) override {
        return link_.RegisterMonitor(window, key, monitorClass);
    }
    int EnableMonitor(MessageTarget* window) override { return link_.EnableMonitor(window); }
    int DisableMonitor(MessageTarget* window) override { return link_.DisableMonitor(window); }
    DriveSegment GetSegment() override { return link_.GetSegment(); }

private:
    ControlLink& link_;
};

}  // namespace tarvo
