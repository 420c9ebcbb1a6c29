#pragma once

#include <cstdint>

namespace tarvo {

// Window message numbers shared by the views, the main frame and the control link.
enum : uint32_t {
    WM_USER_BASE = 0x400,
    WM_LINK_VALUE = 0x401,
    WM_OPEN_VIEW = 0x402,
    WM_LINK_STATE = 0x403,
    WM_LINK_FAILURE = 0x404,
    WM_OBJECT_PICKED = 0x405,
    WM_LINK_SEGMENT = 0x406,
    WM_LINK_ABORT = 0x407,
    WM_ROW_EDITED = 0x408,
    WM_RESTORE_PLACE = 0x409,
    WM_BROADCAST_STATE = 0x40A,
    WM_CONNECTION_OPENED = 0x40B,
    WM_FUNCTION_CHOSEN = 0x464,
    WM_SCOPE_SNAPSHOT = 0x465,
};

// What WM_LINK_STATE tells a view (its first parameter).
enum class WindowState : uintptr_t {
    Shown = 0,              // the user brought the view to front from its menu
    Hidden = 1,             // its frame was closed; the view lives on, hidden
    ConnectionChanged = 2,  // the connection was opened or closed
    SaveProject = 3,        // the project is being saved: store the place (and rows)
    ProjectOpened = 4,      // a project was opened: take its rows and read again
    // The settings forms redraw their connection icon: 6 after the connection was confirmed or
    // closed, 7 on any other change of the link.
    ConnectionIconChanged = 6,
    ConnectionIconRefresh = 7,
    // The link failed or was closed: every value read from the drive is stale until read
    // again. lParam holds the time of the loss (seconds since the epoch).
    LinkLost = 8,
};

constexpr uintptr_t ToWParam(WindowState state) {
    return static_cast<uintptr_t>(state);
}

// A window as the core sees it: something that handles numbered messages. A window
// "handle" is a MessageTarget*; windows live for the whole run.
class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    virtual intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
};

}  // namespace tarvo
