#include "app/InitSaveModel.h"

#include "comm/LinkRequester.h"
#include "comm/LinkSwitches.h"
#include "platform/MessageBox.h"
#include "platform/Timer.h"
#include "protocol/DriveObjects.h"

namespace tarvo {

namespace {
constexpr const char* kNotOpen = "Comm port isn't Open!";
constexpr std::chrono::milliseconds kPollPause{100};
}  // namespace

InitSaveModel::InitSaveModel(Context context) : context_(context) {
    // Bulk traffic of its own: no cyclic reads and no repeated transmissions meanwhile.
    context_.switches.cyclicReadEnabled = 0;
    context_.switches.transmitRetry = 0;
}

InitSaveModel::~InitSaveModel() {
    Close();
}

void InitSaveModel::Open() {
    open_ = true;
    context_.switches.exclusiveWindow = Window();
    context_.switches.exclusiveMode = 1;
    SetButtonsEnabled(true);
    pollPhase_ = 1;
}

void InitSaveModel::Close() {
    context_.pollTimer.Stop();
    pollDue_ = false;
    context_.switches.cyclicReadEnabled = 1;
    context_.switches.transmitRetry = 1;
    if (!open_) {
        return;
    }
    open_ = false;
    context_.switches.exclusiveMode = 0;
    context_.switches.exclusiveWindow = nullptr;
    if (context_.mainFrame != nullptr) {
        context_.mainFrame->onMessage(WM_BROADCAST_STATE, 0, 0);
    }
}

void InitSaveModel::Press(Command command) {
    if (context_.switches.connectionState != ConnectionState::Open) {
        context_.messageBox.Show(kNotOpen);
        return;
    }
    if (NeedsConfirmation(command) && confirm && !confirm(command)) {
        return;
    }
    commandPending_ = true;
    pending_ = command;
    if (command == kSaveControl || command == kSaveMotor) {
        // Idle flags of an earlier command say nothing of this store: both are read anew.
        controlIdle_ = false;
        motorIdle_ = false;
    }
    switch (command) {
        case kSaveControl:
            context_.link.Request(Window(), SdoCommand::Write8,
                                  DriveObject::kStoreControlParameters, DriveObject::kStoreCommand);
            break;
        case kSaveMotor:
            context_.link.Request(Window(), SdoCommand::Write8, DriveObject::kStoreMotorParameters,
                                  DriveObject::kStoreCommand);
            break;
        case kInitializeControl:
            context_.link.Request(Window(), SdoCommand::Write8,
                                  DriveObject::kStoreControlParameters,
                                  DriveObject::kRestoreCommand);
            break;
        case kReboot:
            context_.link.Request(Window(), SdoCommand::Write16, DriveObject::kReboot,
                                  DriveObject::kRebootValue);
            break;
    }
}

intptr_t InitSaveModel::onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == WM_LINK_VALUE) {
        HandleValue(static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam));
    } else if (message == WM_LINK_ABORT) {
        HandleAbort(static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam));
    }
    return 0;
}

void InitSaveModel::Report(Command command, Outcome outcome, uint32_t abortCode) {
    commandPending_ = false;
    if (onOutcome) {
        onOutcome(command, outcome, abortCode);
    }
}

void InitSaveModel::HandleAbort(uint32_t code, uint32_t address) {
    bool ours = pending_ == kReboot ? address == DriveObject::kReboot
                                    : address == DriveObject::kStoreControlParameters ||
                                          address == DriveObject::kStoreMotorParameters;
    if (commandPending_ && ours) {
        // A refused write or poll ends the command: nothing is stored, and polling on would
        // only be refused again.
        context_.pollTimer.Stop();
        pollDue_ = false;
        SetButtonsEnabled(true);
        Report(pending_, Outcome::kRefused, code);
    }
}

void InitSaveModel::HandleValue(uint32_t value, uint32_t address) {
    bool acknowledged = false;
    if (address == DriveObject::kStoreControlParameters) {
        if (value == DriveObject::kRestoreCommand) {
            context_.link.Request(Window(), SdoCommand::Write8,
                                  DriveObject::kStoreControlParameters, 0);
            acknowledged = true;
        }
        controlIdle_ = (value == 0 || value == DriveObject::kRestoreCommand);
    } else if (address == DriveObject::kStoreMotorParameters) {
        motorIdle_ = (value == 0);
    } else {
        return;  // the reboot's reply and anything else start no polling
    }
    if (controlIdle_ && motorIdle_) {
        pollDue_ = false;
        SetButtonsEnabled(true);
        if (commandPending_ && (pending_ == kSaveControl || pending_ == kSaveMotor)) {
            Report(pending_, Outcome::kSaved, 0);
        }
        return;
    }
    SetButtonsEnabled(false);
    if (context_.pollTimer.IsActive()) {
        pollDue_ = true;  // still inside the pause after the previous poll
    } else if (acknowledged) {
        // The link keeps one request of the exclusive window: a poll sent now would replace
        // the acknowledging write before the worker took it. The poll follows the pause.
        StartPause();
        pollDue_ = true;
    } else {
        SendNextPoll();
    }
}

void InitSaveModel::SendNextPoll() {
    if (pollPhase_ == 1) {
        context_.link.Request(Window(), SdoCommand::Read, DriveObject::kStoreControlParameters, 0);
        pollPhase_ = 2;
    } else {
        context_.link.Request(Window(), SdoCommand::Read, DriveObject::kStoreMotorParameters, 0);
        pollPhase_ = 1;
    }
    pollDue_ = false;
    StartPause();
}

void InitSaveModel::StartPause() {
    // Polls are at least 100 ms apart: a reply that asks for the next poll inside the
    // pause leaves it due until the pause ends.
    context_.pollTimer.Start(kPollPause, false, [this] {
        if (pollDue_) {
            SendNextPoll();
        }
    });
}

void InitSaveModel::SetButtonsEnabled(bool enabled) {
    buttonsEnabled_ = enabled;
    if (onButtonsEnabled) {
        onButtonsEnabled(enabled);
    }
}

}  // namespace tarvo
