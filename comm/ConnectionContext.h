#pragma once

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
};

}  // namespace tarvo
