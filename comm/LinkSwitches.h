#pragma once

#include <atomic>
#include <cstdint>

#include "comm/LinkDoorbell.h"
#include "comm/RingingSwitch.h"
#include "protocol/DriveProtocol.h"

namespace tarvo {

class MessageTarget;

// The process-wide switches of the control link. The user-interface thread writes them,
// the link's worker reads them; each is a single atomic value. Writing a switch that the
// worker waits on rings the link's doorbell.
struct LinkSwitches {
    LinkDoorbell doorbell;  // before the switches that ring it
    // Requests are accepted and traffic runs only while open.
    RingingSwitch<ConnectionState> connectionState{ConnectionState::Closed, doorbell};
    // Monitor entries are read while the link is idle.
    RingingSwitch<int32_t> cyclicReadEnabled{1, doorbell};
    // While on, only requests of exclusiveWindow (of any window when it is null) are taken.
    std::atomic<int32_t> exclusiveMode{0};
    std::atomic<MessageTarget*> exclusiveWindow{nullptr};
    // While deferredRelease is off, requests of windows other than priorityWindow wait.
    std::atomic<MessageTarget*> priorityWindow{nullptr};
    RingingSwitch<int32_t> deferredRelease{0, doorbell};
    // Set when the main frame closes; the worker ends once the exchange in flight is over.
    RingingSwitch<int32_t> linkStop{0, doorbell};
    // Failed transmissions are repeated while on.
    std::atomic<int32_t> transmitRetry{1};
    // Receives WM_LINK_FAILURE.
    std::atomic<MessageTarget*> mainFrameWindow{nullptr};
    // Set once the CAN interface has been loaded in this run; never cleared.
    std::atomic<int32_t> canChosen{0};
};

}  // namespace tarvo
