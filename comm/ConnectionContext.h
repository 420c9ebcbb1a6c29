#pragma once

#include <functional>

namespace tarvo {

class AppSettings;
class ControlLink;
class MessageBox;
class MessageTarget;
struct ConnectionSession;
struct LinkSwitches;

// What the connection forms work on.
struct ConnectionContext {
    ControlLink& link;
    LinkSwitches& switches;
    ConnectionSession& session;
    AppSettings& settings;
    MessageBox& messageBox;
    MessageTarget* mainFrame = nullptr;  // receives 0x404, 0x40B and WM_OPEN_VIEW
    // Asked before the open/close button closes the connection; false keeps it open.
    // Unset: it closes.
    std::function<bool()> mayCloseConnection;
};

}  // namespace tarvo
