#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/MessageTarget.h"

namespace tarvo {

class AppSettings;
class ControlLink;
class FormulaEvaluator;
class MessageBox;
class MessageTarget;
class Timer;
struct ConnectionSession;
struct LinkSwitches;

// The main frame's side of the connection: it watches the drive's status word, confirms or
// reports the connection, reconnects with the stored settings from the toolbar and blinks
// the state icon. The main window shows what the hooks tell it.
class MainFrameLink {
public:
    enum StateImage { kImageNoConnection = 205, kImageFault = 210, kImageNoFault = 211 };

    struct Context {
        ControlLink& link;
        LinkSwitches& switches;
        ConnectionSession& session;
        AppSettings& settings;
        MessageBox& messageBox;
        FormulaEvaluator& formulas;
        Timer& blinkTimer;
        MessageTarget* mainFrame;  // the window that receives the link's messages
    };

    struct ViewHooks {
        std::function<void(int image)> selectStateImage;
        std::function<void(const std::string& text)> showStatus;
        std::function<void(WindowState state)> broadcast;            // WM_LINK_STATE to every view
        std::function<void(WindowState state)> notifySettingsForms;  // WM_LINK_STATE to the forms
        std::function<bool()> rs232FormExists;
        std::function<bool()> canFormExists;
        // A confirmed connection failed or was closed: what was read is stale from now on.
        std::function<void()> linkLost;
    };

    MainFrameLink(const Context& context, ViewHooks hooks);

    // At main window creation: the status-word monitor, the closed status, the timer.
    void Start();

    void OnLinkValue(uint32_t value, uint32_t address);
    // 0x404: wParam 1 the connection is confirmed, 0 it closed or failed.
    void OnConnectionEvent(uintptr_t wParam);
    // 0x40B: a settings form opened the connection.
    // A connection that replaced an open one is confirmed afresh by its first reply.
    void OnConnectionOpened() {
        driveStatus_ = -1;
        SelectStateImage(kImageNoFault);
    }
    // Toolbar button 1128.
    void ToggleConnection();
    // The 1200 ms timer.
    void TimerTick();

    int DriveStatus() const { return driveStatus_; }
    int StateImage() const { return stateImage_; }

private:
    bool Reconnect();
    bool ReconnectSerial();
    bool ReconnectCan();
    void SelectStateImage(int image);
    void HandleClosed();

    Context context_;
    ViewHooks hooks_;
    int driveStatus_ = -1;  // -1 unknown since the connection opened, 0 no fault, 1 fault
    int stateImage_ = kImageNoConnection;
    bool blink_ = false;
    bool live_ = false;  // confirmed and not closed since
};

}  // namespace tarvo
