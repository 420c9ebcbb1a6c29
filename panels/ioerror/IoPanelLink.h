#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "comm/LinkRequester.h"
#include "protocol/DriveProtocol.h"

namespace tarvo {

class ControlLink;
class MessageTarget;
struct LinkSwitches;

// What the I/O port and error panels use of the control link: requests, their monitor
// entries and whether the connection is open. Tests give it recording stand-ins.
struct IoPanelLink {
    LinkRequester& requester;
    std::function<int(MessageTarget* window, uint32_t key, MonitorClass monitorClass)>
        registerMonitor;
    std::function<int(MessageTarget* window)> enableMonitor;
    std::function<int(MessageTarget* window)> disableMonitor;
    const std::atomic<ConnectionState>& connectionState;

    bool Connected() const { return connectionState.load() == ConnectionState::Open; }

    static IoPanelLink Of(ControlLink& link, const LinkSwitches& switches);
};

}  // namespace tarvo
