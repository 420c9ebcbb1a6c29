#pragma once

#include <cstdint>
#include <functional>

#include "platform/MessageTarget.h"

namespace tarvo {

class LinkRequester;
class MessageBox;
class Timer;
struct LinkSwitches;

// The Initialize/Save dialog without its window: the four commands, the exclusive hold on
// the control link while open, and the alternate polling of the two store objects until
// both report idle. The 100 ms pauses between polls run on a Timer, so the interface never
// freezes.
class InitSaveModel : public MessageTarget {
public:
    enum Command { kSaveControl, kSaveMotor, kInitializeControl, kReboot };

    struct Context {
        LinkRequester& link;
        LinkSwitches& switches;
        MessageBox& messageBox;
        Timer& pollTimer;
        MessageTarget* mainFrame = nullptr;
        // The dialog's window: the exclusive owner of the link while open. Null means the
        // model itself receives the replies.
        MessageTarget* window = nullptr;
    };

    explicit InitSaveModel(Context context);
    ~InitSaveModel() override;

    // Opening and closing the dialog; Close() runs however the dialog goes away.
    void Open();
    void Close();
    // A button: "Comm port isn't Open!" when the connection is closed, else the write.
    void Press(Command command);

    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    bool ButtonsEnabled() const { return buttonsEnabled_; }
    std::function<void(bool)> onButtonsEnabled;  // the view follows this

    // Initializing the control parameters and rebooting cannot be undone: they are sent only
    // when this answers yes (no question when unset).
    static bool NeedsConfirmation(Command command) {
        return command == kInitializeControl || command == kReboot;
    }
    std::function<bool(Command command)> confirm;

    // How a command ended: a save once the drive acknowledged the write and both store
    // objects read idle; any command the drive refused, with its abort code.
    enum class Outcome { kSaved, kRefused };
    std::function<void(Command command, Outcome outcome, uint32_t abortCode)> onOutcome;

private:
    MessageTarget* Window() { return context_.window ? context_.window : this; }
    void HandleValue(uint32_t value, uint32_t address);
    void HandleAbort(uint32_t code, uint32_t address);
    void Report(Command command, Outcome outcome, uint32_t abortCode);
    void SendNextPoll();
    void StartPause();
    void SetButtonsEnabled(bool enabled);

    Context context_;
    int pollPhase_ = 1;
    bool controlIdle_ = false;
    bool motorIdle_ = false;
    bool buttonsEnabled_ = false;
    bool open_ = false;
    bool pollDue_ = false;
    // The command whose outcome is still to be told, if any.
    bool commandPending_ = false;
    Command pending_ = kSaveControl;
};

}  // namespace tarvo
