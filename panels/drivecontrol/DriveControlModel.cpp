#include "panels/drivecontrol/DriveControlModel.h"

#include <algorithm>
#include <cstdio>

#include "protocol/AbortText.h"
#include "protocol/DriveObjects.h"

namespace tarvo {

namespace {

using DeviceControl::ControlBit::kChangeImmediately;
using DeviceControl::ControlBit::kHalt;
using DeviceControl::ControlBit::kNewSetPoint;
using DeviceControl::ControlBit::kRelative;
using DeviceControl::StatusBit::kSetPointAcknowledge;
using DeviceControl::StatusBit::kTargetReached;

constexpr uint32_t kSupportedModes = ObjectAddressOf(0x6502, 0);
constexpr uint32_t kErrorCode = ObjectAddressOf(0x603F, 0);
constexpr uint32_t kFollowingErrorActual = ObjectAddressOf(0x60F4, 0);
constexpr uint32_t kProfileVelocity = ObjectAddressOf(0x6081, 0);
constexpr uint32_t kProfileAcceleration = ObjectAddressOf(0x6083, 0);
constexpr uint32_t kProfileDeceleration = ObjectAddressOf(0x6084, 0);

// The modes the choice names, in the order it lists them.
constexpr int8_t kNamedModes[] = {1, 3, 4, 6, 7, 8, 9, 10, -1, -2, -3, -4, -5, -6, -7};

constexpr uint16_t kEnabled =
    DeviceControl::ControlWord(DeviceControl::Transition::EnableOperation);

}  // namespace

DriveControlModel::DriveControlModel(IoPanelLink link, MessageTarget* window)
    : link_(std::move(link)), window_(window) {}

const std::vector<uint32_t>& DriveControlModel::MonitoredKeys() {
    static const std::vector<uint32_t> keys = {
        DriveObject::kStatusWord,
        kErrorCode,
        DriveObject::kModesOfOperationDisplay,
        DriveObject::kPositionActualValue,
        kFollowingErrorActual,
        DriveObject::kVelocityActualValue,
    };
    return keys;
}

void DriveControlModel::Show() {
    if (!registered_) {
        for (uint32_t key : MonitoredKeys()) {
            link_.registerMonitor(Window(), key, MonitorClass::ReadOnly);
        }
        registered_ = true;
    }
    link_.enableMonitor(Window());
    shown_ = true;
    if (Connected()) {
        link_.requester.Request(Window(), SdoCommand::Read, kSupportedModes, 0);
        link_.requester.Request(Window(), SdoCommand::Read, DriveObject::kModesOfOperation, 0);
        link_.requester.Request(Window(), SdoCommand::Read, DriveObject::kStatusWord, 0);
    }
    Notify();
}

void DriveControlModel::Hide() {
    if (motion_ != Motion::None && Connected()) {
        StopWrites(motion_);
    }
    motion_ = Motion::None;
    if (registered_) {
        link_.disableMonitor(Window());
    }
    shown_ = false;
    Notify();
}

void DriveControlModel::FocusLost() {
    if (motion_ == Motion::Jogging) {
        JogRelease();
    }
}

bool DriveControlModel::TransitionEnabled(Transition transition) const {
    if (!Connected()) {
        return false;
    }
    if (transition == Transition::QuickStop) {
        return true;
    }
    return StateKnown() && DeviceControl::Leaves(state_, transition);
}

void DriveControlModel::RequestTransition(Transition transition) {
    if (!TransitionEnabled(transition)) {
        return;
    }
    std::vector<Write> writes;
    const uint32_t control = DriveObject::kControlWord;
    if (transition == Transition::QuickStop) {
        motion_ = Motion::None;
    } else if (transition == Transition::FaultReset) {
        // The reset acts on the rising edge of bit 7.
        writes.push_back({control, SdoCommand::Write16, DeviceControl::kFaultResetPrelude});
    } else if (transition == Transition::EnableOperation &&
               modeDisplay_ == DeviceControl::Mode::kProfileVelocity) {
        // In profile velocity mode, enabling would run at the last target velocity.
        writes.push_back({DriveObject::kTargetVelocity, SdoCommand::Write32, 0});
    }
    writes.push_back({control, SdoCommand::Write16, DeviceControl::ControlWord(transition)});
    if (transition != Transition::QuickStop && transition != Transition::FaultReset &&
        motion_ != Motion::None) {
        motion_ = Motion::None;
    }
    Run(Purpose::Transition, std::move(writes));
}

std::vector<int8_t> DriveControlModel::OfferedModes() const {
    std::vector<int8_t> modes;
    for (int8_t mode : kNamedModes) {
        if (!supportedModes_ || DeviceControl::ModeSupported(*supportedModes_, mode)) {
            modes.push_back(mode);
        }
    }
    return modes;
}

bool DriveControlModel::ModeChoiceEnabled() const {
    return Connected() && motion_ == Motion::None;
}

void DriveControlModel::ChooseMode(int8_t mode) {
    if (!ModeChoiceEnabled()) {
        return;
    }
    Run(Purpose::Mode, {{DriveObject::kModesOfOperation, SdoCommand::Write8,
                         static_cast<uint32_t>(static_cast<uint8_t>(mode))}});
}

bool DriveControlModel::MotionAllowed() const {
    return Connected() && StateKnown() && fresh_ && state_ == State::OperationEnabled &&
           !inFlight_ && pending_.empty() && motion_ == Motion::None;
}

bool DriveControlModel::JogPress(int32_t velocity) {
    if (!MotionAllowed()) {
        return false;
    }
    std::vector<Write> writes;
    if (modeDisplay_ != DeviceControl::Mode::kProfileVelocity) {
        writes.push_back({DriveObject::kModesOfOperation, SdoCommand::Write8,
                          static_cast<uint32_t>(DeviceControl::Mode::kProfileVelocity)});
    }
    writes.push_back(
        {DriveObject::kTargetVelocity, SdoCommand::Write32, static_cast<uint32_t>(velocity)});
    writes.push_back({DriveObject::kControlWord, SdoCommand::Write16, kEnabled});
    motion_ = Motion::Jogging;
    notice_ = Notice::None;
    Run(Purpose::JogStart, std::move(writes));
    return true;
}

void DriveControlModel::JogRelease() {
    if (motion_ != Motion::Jogging) {
        return;
    }
    motion_ = Motion::None;
    StopWrites(Motion::Jogging);
}

bool DriveControlModel::MoveStart(const MoveRequest& move) {
    if (!MotionAllowed()) {
        return false;
    }
    std::vector<Write> writes;
    if (modeDisplay_ != DeviceControl::Mode::kProfilePosition) {
        writes.push_back({DriveObject::kModesOfOperation, SdoCommand::Write8,
                          static_cast<uint32_t>(DeviceControl::Mode::kProfilePosition)});
    }
    writes.push_back(
        {DriveObject::kTargetPosition, SdoCommand::Write32, static_cast<uint32_t>(move.target)});
    writes.push_back({kProfileVelocity, SdoCommand::Write32, move.velocity});
    writes.push_back({kProfileAcceleration, SdoCommand::Write32, move.acceleration});
    writes.push_back({kProfileDeceleration, SdoCommand::Write32, move.acceleration});
    // Bit 4 low first, so that the set-point's bit rises; the halt of an earlier stop goes.
    writes.push_back({DriveObject::kControlWord, SdoCommand::Write16, kEnabled});
    uint16_t start = kEnabled | kNewSetPoint | kChangeImmediately;
    if (move.relative) {
        start |= kRelative;
    }
    writes.push_back({DriveObject::kControlWord, SdoCommand::Write16, start});
    motion_ = Motion::Moving;
    moveStarted_ = false;
    notice_ = Notice::None;
    Run(Purpose::MoveStart, std::move(writes));
    return true;
}

void DriveControlModel::MoveStop() {
    if (motion_ != Motion::Moving) {
        return;
    }
    motion_ = Motion::None;
    StopWrites(Motion::Moving);
}

void DriveControlModel::StopWrites(Motion motion) {
    if (motion == Motion::Jogging) {
        Run(Purpose::JogStop, {{DriveObject::kTargetVelocity, SdoCommand::Write32, 0}});
    } else if (motion == Motion::Moving) {
        Run(Purpose::MoveStop, {{DriveObject::kControlWord, SdoCommand::Write16,
                                 static_cast<uint32_t>(kEnabled | kHalt)}});
    }
}

void DriveControlModel::Run(Purpose purpose, std::vector<Write> writes) {
    purpose_ = purpose;
    pending_.assign(writes.begin(), writes.end());
    if (!inFlight_) {
        SendNext();
    }
    Notify();
}

void DriveControlModel::SendNext() {
    if (pending_.empty() || !Connected()) {
        pending_.clear();
        return;
    }
    inFlight_ = pending_.front();
    pending_.pop_front();
    if (inFlight_->key == DriveObject::kControlWord) {
        ++controlWritesInFlight_;
        MarkStale();
    }
    link_.requester.Request(Window(), inFlight_->command, inFlight_->key, inFlight_->value);
}

void DriveControlModel::MarkStale() {
    fresh_ = false;
}

intptr_t DriveControlModel::onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    switch (message) {
        case WM_LINK_VALUE:
            OnValue(static_cast<uint32_t>(lParam), static_cast<uint32_t>(wParam));
            break;
        case WM_LINK_ABORT:
            OnAbort(static_cast<uint32_t>(lParam), static_cast<uint32_t>(wParam));
            break;
        case WM_LINK_STATE:
            OnState(static_cast<WindowState>(wParam));
            break;
        default:
            return 0;
    }
    Notify();
    return 0;
}

void DriveControlModel::OnValue(uint32_t key, uint32_t value) {
    if (inFlight_ && inFlight_->key == key) {
        bool control = key == DriveObject::kControlWord;
        if (key == DriveObject::kModesOfOperation) {
            modeChosen_ = static_cast<int8_t>(value & 0xFF);
        }
        if (control && --controlWritesInFlight_ == 0) {
            // The state counts as read once a statusword follows this acknowledgement.
            link_.requester.Request(Window(), SdoCommand::Read, DriveObject::kStatusWord, 0);
        }
        if (control && purpose_ == Purpose::MoveStart && pending_.empty() &&
            motion_ == Motion::Moving) {
            moveStarted_ = true;
            moveRunning_ = false;
        }
        inFlight_.reset();
        SendNext();
        return;
    }
    switch (key) {
        case DriveObject::kStatusWord:
            TakeStatusword(static_cast<uint16_t>(value));
            break;
        case kErrorCode:
            errorCode_ = static_cast<uint16_t>(value);
            break;
        case DriveObject::kModesOfOperationDisplay:
            modeDisplay_ = static_cast<int8_t>(value & 0xFF);
            break;
        case DriveObject::kModesOfOperation:
            modeChosen_ = static_cast<int8_t>(value & 0xFF);
            break;
        case kSupportedModes:
            supportedModes_ = value;
            break;
        case DriveObject::kPositionActualValue:
            position_ = static_cast<int32_t>(value);
            break;
        case kFollowingErrorActual:
            followingError_ = static_cast<int32_t>(value);
            break;
        case DriveObject::kVelocityActualValue:
            velocity_ = static_cast<int32_t>(value);
            break;
        default:
            break;
    }
}

void DriveControlModel::TakeStatusword(uint16_t word) {
    statusword_ = word;
    state_ = DeviceControl::Decode(word);
    if (controlWritesInFlight_ == 0) {
        // Read after the last controlword's acknowledgement (or with none written).
        fresh_ = true;
    }
    if (motion_ != Motion::None && state_ != State::OperationEnabled) {
        Interrupt(state_ == State::Fault || state_ == State::FaultReactionActive
                      ? Notice::FaultWhileMoving
                      : Notice::LeftWhileMoving);
    } else if (motion_ == Motion::Moving && moveStarted_ && fresh_) {
        // The move is done once the drive, having taken the set-point (left the target
        // reached, or acknowledged the set-point), reports the target reached.
        bool reached = (word & kTargetReached) != 0;
        moveRunning_ = moveRunning_ || !reached;
        if (reached && (moveRunning_ || (word & kSetPointAcknowledge) != 0)) {
            motion_ = Motion::None;
        }
    }
}

void DriveControlModel::Interrupt(Notice notice) {
    Motion was = motion_;
    motion_ = Motion::None;
    notice_ = notice;
    MarkStale();
    if (Connected()) {
        // A velocity left in 60FFh would run again on the next Enable operation.
        if (was == Motion::Jogging) {
            StopWrites(Motion::Jogging);
        } else {
            pending_.clear();
        }
    } else {
        pending_.clear();
        inFlight_.reset();
        controlWritesInFlight_ = 0;
    }
}

void DriveControlModel::OnAbort(uint32_t key, uint32_t code) {
    if (!inFlight_ || inFlight_->key != key) {
        if (key == kSupportedModes) {
            supportedModes_.reset();
        }
        return;  // a read the drive does not answer leaves its value unknown
    }
    Purpose purpose = purpose_;
    if (key == DriveObject::kControlWord) {
        --controlWritesInFlight_;
        link_.requester.Request(Window(), SdoCommand::Read, DriveObject::kStatusWord, 0);
    }
    inFlight_.reset();
    pending_.clear();
    refusedAddress_ = key;
    refusedCode_ = code;
    notice_ = Notice::Refused;
    if (purpose == Purpose::JogStart || purpose == Purpose::MoveStart) {
        // Part of the motion's set-up was refused: the start is not sent; what did go out
        // (a target velocity) is taken back.
        Motion was = motion_;
        motion_ = Motion::None;
        StopWrites(was);
        purpose_ = Purpose::None;
    } else if (purpose == Purpose::JogStop || purpose == Purpose::MoveStop) {
        // The motor may still run: stop it the one way left.
        notice_ = Notice::StopRefused;
        Run(Purpose::Transition, {{DriveObject::kControlWord, SdoCommand::Write16,
                                   DeviceControl::ControlWord(Transition::QuickStop)}});
    }
}

void DriveControlModel::OnState(WindowState state) {
    switch (state) {
        case WindowState::Shown:
            Show();
            break;
        case WindowState::Hidden:
            Hide();
            break;
        case WindowState::ConnectionChanged:
        case WindowState::LinkLost:
            if (motion_ != Motion::None) {
                Motion was = motion_;
                if (Connected()) {
                    StopWrites(was);  // the link may still carry it
                }
                motion_ = Motion::None;
                notice_ = Notice::LinkLostWhileMoving;
            }
            MarkStale();
            if (!Connected()) {
                pending_.clear();
                inFlight_.reset();
                controlWritesInFlight_ = 0;
            }
            if (state == WindowState::ConnectionChanged && Connected() && shown_) {
                inFlight_.reset();
                controlWritesInFlight_ = 0;
                Show();
            }
            break;
        default:
            break;
    }
}

std::string DriveControlModel::RefusalText() const {
    char text[48];
    std::snprintf(text, sizeof text, "%04X:%02X: ", IndexOf(refusedAddress_),
                  SubIndexOf(refusedAddress_));
    char code[16];
    std::snprintf(code, sizeof code, " (0x%08X)", refusedCode_);
    return text + AbortText::Meaning(refusedCode_) + code;
}

void DriveControlModel::Notify() {
    if (changed_) {
        changed_();
    }
}

}  // namespace tarvo
