#include "panels/ioerror/IoPanelLink.h"

#include "comm/ControlLink.h"
#include "comm/LinkSwitches.h"

namespace tarvo {

IoPanelLink IoPanelLink::Of(ControlLink& link, const LinkSwitches& switches) {
    return IoPanelLink{
        link,
        [&link](MessageTarget* window, uint32_t key, MonitorClass monitorClass) {
            return link.RegisterMonitor(window, key, monitorClass);
        },
        [&link](MessageTarget* window) { return link.EnableMonitor(window); },
        [&link](MessageTarget* window) { return link.DisableMonitor(window); },
        switches.connectionState,
    };
}

}  // namespace tarvo
