#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "panels/ioerror/IoPanelLink.h"
#include "platform/MessageTarget.h"
#include "protocol/DeviceControl.h"

namespace tarvo {

// The Drive Control view without its widgets: the drive profile's state from the statusword,
// the transition buttons, the operation mode, hold-to-run jog and profile position moves,
// all through the control link. Its safety rules:
// - opening it writes nothing (it registers monitor entries and reads);
// - a motion command goes out only in Operation enabled, shown from a statusword read after
//   the last state change (a controlword written, the connection changed or lost);
// - a jog stops on release, loss of focus, closing, and a change or loss of the connection;
// - a fault or a lost link during a motion is shown, and nothing restarts by itself;
// - Quick stop is enabled whenever the connection is open;
// - a refused write is shown with its meaning and never repeated; a refused stop is
//   followed by a quick stop.
class DriveControlModel : public MessageTarget {
public:
    using State = DeviceControl::State;
    using Transition = DeviceControl::Transition;

    enum class Motion { None, Jogging, Moving };

    // Why the last motion ended other than by the user, or what was refused.
    enum class Notice {
        None,
        Refused,              // a write was refused: refusedAddress, refusedCode
        FaultWhileMoving,     // the drive went into its fault reaction during a motion
        LeftWhileMoving,      // the drive left Operation enabled during a motion
        LinkLostWhileMoving,  // the connection was lost or changed during a motion
        StopRefused,          // a stop was refused; a quick stop was sent instead
    };

    struct MoveRequest {
        int32_t target = 0;  // counts
        bool relative = false;
        uint32_t velocity = 0;      // the raw unit of 6081h
        uint32_t acceleration = 0;  // the raw unit of 6083h, also used for 6084h
    };

    // `window` receives the link's replies and forwards them to onMessage (the view, or this
    // model when null).
    DriveControlModel(IoPanelLink link, MessageTarget* window);

    void SetChanged(std::function<void()> changed) { changed_ = std::move(changed); }

    // The view was shown: registers its monitor entries once, switches them on and reads
    // the supported modes and the mode; writes nothing.
    void Show();
    // The view was closed or hidden: stops any motion and switches the monitors off.
    void Hide();
    // The view's window lost the focus: a jog stops.
    void FocusLost();

    bool Connected() const { return link_.Connected(); }
    bool TransitionEnabled(Transition transition) const;
    void RequestTransition(Transition transition);

    // The modes the mode choice offers: those of 6502h, or all named ones when the drive
    // has no 6502h (or it has not been read).
    std::vector<int8_t> OfferedModes() const;
    bool ModeChoiceEnabled() const;
    void ChooseMode(int8_t mode);

    // Motion commands are allowed: connected, Operation enabled read after the last state
    // change, and no sequence of writes under way.
    bool MotionAllowed() const;
    // Starts a jog at `velocity` (signed, the raw unit of 60FFh); false when not allowed.
    bool JogPress(int32_t velocity);
    void JogRelease();
    bool MoveStart(const MoveRequest& move);
    void MoveStop();

    // The state shown and how it was learnt.
    State state() const { return state_; }
    bool StateKnown() const { return statusword_.has_value(); }
    // The statusword was read after the last state change.
    bool StateFresh() const { return fresh_; }
    uint16_t Statusword() const { return statusword_.value_or(0); }
    std::optional<uint16_t> ErrorCode() const { return errorCode_; }
    std::optional<int8_t> ModeDisplay() const { return modeDisplay_; }
    std::optional<int8_t> ModeChosen() const { return modeChosen_; }
    std::optional<int32_t> PositionActual() const { return position_; }
    std::optional<int32_t> FollowingError() const { return followingError_; }
    std::optional<int32_t> VelocityActual() const { return velocity_; }
    Motion motion() const { return motion_; }
    Notice notice() const { return notice_; }
    uint32_t RefusedAddress() const { return refusedAddress_; }
    uint32_t RefusedCode() const { return refusedCode_; }
    // The refusal as the view shows it: "6060:00: Invalid value for parameter (0x06090030)".
    std::string RefusalText() const;

    intptr_t onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    // The entries the model keeps monitor entries of.
    static const std::vector<uint32_t>& MonitoredKeys();

private:
    struct Write {
        uint32_t key;
        SdoCommand command;
        uint32_t value;
    };
    enum class Purpose { None, Transition, Mode, JogStart, JogStop, MoveStart, MoveStop };

    MessageTarget* Window() { return window_ != nullptr ? window_ : this; }
    // Replaces the writes not yet sent with `writes` and sends the first when none is in
    // flight; each further one goes after the previous one's acknowledgement.
    void Run(Purpose purpose, std::vector<Write> writes);
    void SendNext();
    void OnValue(uint32_t key, uint32_t value);
    void OnAbort(uint32_t key, uint32_t code);
    void OnState(WindowState state);
    void TakeStatusword(uint16_t word);
    // A motion ends other than by the user: forget it and send what stops it.
    void Interrupt(Notice notice);
    void StopWrites(Motion motion);
    void Notify();
    void MarkStale();

    IoPanelLink link_;
    MessageTarget* window_;
    std::function<void()> changed_;
    bool registered_ = false;
    bool shown_ = false;

    std::optional<uint16_t> statusword_;
    State state_ = State::Unknown;
    bool fresh_ = false;
    // Controlwords written and not yet acknowledged: a statusword counts as read after the
    // last state change only once none is.
    int controlWritesInFlight_ = 0;

    std::optional<uint16_t> errorCode_;
    std::optional<int8_t> modeDisplay_;
    std::optional<int8_t> modeChosen_;
    std::optional<uint32_t> supportedModes_;
    std::optional<int32_t> position_;
    std::optional<int32_t> followingError_;
    std::optional<int32_t> velocity_;

    Motion motion_ = Motion::None;
    bool moveStarted_ = false;  // the controlword that starts the move was acknowledged
    bool moveRunning_ = false;  // the drive has since shown that it took the set-point
    Notice notice_ = Notice::None;
    uint32_t refusedAddress_ = 0;
    uint32_t refusedCode_ = 0;

    Purpose purpose_ = Purpose::None;
    std::deque<Write> pending_;
    std::optional<Write> inFlight_;
};

}  // namespace tarvo
