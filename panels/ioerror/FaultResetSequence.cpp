#include "panels/ioerror/FaultResetSequence.h"

#include "protocol/DriveObjects.h"

namespace tarvo {

namespace {
using DriveObject::kControlWord;
using DriveObject::kFaultResetBit;
}  // namespace

void FaultResetSequence::Start() {
    step_ = Step::kReading;
    requester_.Request(this, SdoCommand::Read, kControlWord, 0);
}

void FaultResetSequence::Write(Step next, uint32_t word) {
    step_ = next;
    requester_.Request(this, SdoCommand::Write16, kControlWord, word);
}

void FaultResetSequence::Finish(Outcome outcome) {
    step_ = Step::kIdle;
    if (finished_) {
        finished_(outcome);
    }
}

intptr_t FaultResetSequence::onMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (static_cast<uint32_t>(lParam) != kControlWord || step_ == Step::kIdle) {
        return 0;
    }
    if (message == WM_LINK_ABORT) {
        Finish(Outcome::kRefused);
        return 0;
    }
    if (message != WM_LINK_VALUE) {
        return 0;
    }
    switch (step_) {
        case Step::kReading: {
            uint32_t word = static_cast<uint32_t>(wParam) & 0xFFFF;
            previous_ = word & ~kFaultResetBit;
            if ((word & kFaultResetBit) != 0) {
                Write(Step::kClearing, previous_);
            } else {
                Write(Step::kRising, previous_ | kFaultResetBit);
            }
            break;
        }
        case Step::kClearing:
            Write(Step::kRising, previous_ | kFaultResetBit);
            break;
        case Step::kRising:
            Write(Step::kRestoring, previous_);
            break;
        case Step::kRestoring:
            Finish(Outcome::kDone);
            break;
        case Step::kIdle:
            break;
    }
    return 0;
}

}  // namespace tarvo
