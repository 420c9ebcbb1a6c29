#include "oscilloscope/CaptureRun.h"

#include <chrono>

#include "comm/LinkSwitches.h"
#include "oscilloscope/ScopeLink.h"
#include "oscilloscope/ScopeMessages.h"
#include "platform/MessageBox.h"
#include "platform/Timer.h"
#include "protocol/DriveObjects.h"

namespace tarvo {

namespace {

constexpr uint32_t kCaptureControl = CaptureObject::Address(CaptureObject::Sub::CaptureControl);
constexpr uint32_t kSampleData = CaptureObject::Address(CaptureObject::Sub::SampleData);
constexpr std::chrono::milliseconds kSecond{1000};

}  // namespace

CaptureRun::CaptureRun(const Services& services, Hooks hooks)
    : services_(services), hooks_(std::move(hooks)) {}

void CaptureRun::Request(SdoCommand command, uint32_t address, uint32_t data) {
    services_.link.Request(services_.owner, command, address, data);
}

void CaptureRun::Start() {
    if (busy_ || state_ != State::kIdle) {
        return;
    }
    busy_ = true;
    cancelled_ = false;
    showsCancel_ = true;
    rereadEnabled_ = false;
    hooks_.prepare(true, false);
    silentTicks_ = 0;
    services_.watchTimer.Start(kSecond, true, [this] { Watch(); });
    SendStart();
}

void CaptureRun::SendStart() {
    upload_.Start(kBufferBytes);
    expected_ = hooks_.expectedBytes ? hooks_.expectedBytes() : 0;
    state_ = State::kStarting;
    Request(SdoCommand::Write8, kCaptureControl, CaptureObject::kStartCapture);
    hooks_.changed();
}

void CaptureRun::Cancel() {
    if (!busy_ && state_ == State::kIdle) {
        return;
    }
    cancelled_ = true;
    // A continuous restart that is due must not start a capture nobody waits for.
    services_.restartTimer.Stop();
    GoIdle();
}

void CaptureRun::ForceIdle() {
    cancelled_ = true;
    services_.pollTimer.Stop();
    services_.restartTimer.Stop();
    GoIdle();
}

void CaptureRun::LinkLost() {
    if (!busy_ && state_ == State::kIdle) {
        return;
    }
    EndWith(ScopeMessages::kLinkClosed);
}

void CaptureRun::EndWith(const char* status) {
    cancelled_ = true;
    services_.pollTimer.Stop();
    services_.restartTimer.Stop();
    GoIdle();
    status_ = status;
    hooks_.changed();
}

void CaptureRun::Watch() {
    if (!busy_ && state_ == State::kIdle) {
        services_.watchTimer.Stop();
        return;
    }
    if (services_.switches.connectionState.load() != ConnectionState::Open) {
        EndWith(ScopeMessages::kLinkClosed);
        return;
    }
    // Between two captures nothing is asked of the drive.
    if (state_ == State::kPause) {
        silentTicks_ = 0;
        return;
    }
    if (++silentTicks_ >= kSilentSeconds) {
        EndWith(ScopeMessages::kNoAnswer);
    }
}

void CaptureRun::GoIdle() {
    services_.watchTimer.Stop();
    state_ = State::kIdle;
    services_.switches.cyclicReadEnabled = 1;
    services_.switches.deferredRelease = 1;
    status_ = ScopeMessages::kFinish;
    showsCancel_ = false;
    startEnabled_ = true;
    rereadEnabled_ = true;
    busy_ = false;
    hooks_.changed();
}

void CaptureRun::Reread() {
    if (busy_) {
        return;
    }
    busy_ = true;
    cancelled_ = false;
    rereadEnabled_ = false;
    startEnabled_ = false;
    hooks_.prepare(false, true);
    silentTicks_ = 0;
    services_.watchTimer.Start(kSecond, true, [this] { Watch(); });
    upload_.Start(kBufferBytes);
    expected_ = hooks_.expectedBytes ? hooks_.expectedBytes() : 0;
    state_ = State::kReading;
    services_.switches.deferredRelease = 0;
    services_.switches.cyclicReadEnabled = 0;
    Request(SdoCommand::Read, kSampleData, 0);
    hooks_.changed();
}

void CaptureRun::OnValue(uint32_t address, uint32_t value) {
    silentTicks_ = 0;
    if (address == kCaptureControl) {
        captureState_ = value;
        services_.pollTimer.Start(kSecond, false, [this] { Poll(); });
        return;
    }
    if (address == kSampleData && busy_ && state_ == State::kReading) {
        upload_.Start(kBufferBytes);
        status_.clear();
        readCounter_ = 0;
        Request(upload_.NextCommand(), kSampleData, 0);
        hooks_.changed();
    }
}

void CaptureRun::Poll() {
    services_.pollTimer.Stop();
    // A late answer after the capture ended leaves its status as it is.
    if (!busy_ && state_ == State::kIdle) {
        return;
    }
    if (captureState_ == CaptureObject::kRecordComplete) {
        stillWaiting_ = false;
    } else if (captureState_ <= 3) {
        stillWaiting_ = true;
        if (waitCounter_ % 20 == 0) {
            status_ =
                "wait to read data " + std::string(static_cast<size_t>(waitCounter_ / 20 + 1), '.');
        }
        waitCounter_ = (waitCounter_ + 10) % 100;
    }
    if (cancelled_ || !busy_) {
        if (state_ != State::kIdle) {
            GoIdle();
        }
        return;
    }
    if (!stillWaiting_) {
        state_ = State::kReading;
        services_.switches.cyclicReadEnabled = 0;
        Request(SdoCommand::Read, kSampleData, 0);
        services_.switches.deferredRelease = 0;
    } else {
        state_ = State::kWaiting;
        Request(SdoCommand::Read, kCaptureControl, 0);
    }
    hooks_.changed();
}

void CaptureRun::OnSegment() {
    // A cancelled upload ends here: later segments are not asked for.
    if (services_.switches.deferredRelease.load() != 0 || state_ != State::kReading) {
        return;
    }
    silentTicks_ = 0;
    DriveSegment segment = services_.link.Segment();
    SegmentedUploadClient::Step step =
        upload_.Take(segment.count, segment.bytes.data(), segment.last);
    if (step == SegmentedUploadClient::Step::Overrun) {
        services_.messageBox.Show(ScopeMessages::kRecordTooLong);
        Refuse();
        return;
    }
    if (readCounter_ == 0 || readCounter_ == 30 || readCounter_ == 60 || readCounter_ == 120) {
        int dots = readCounter_ == 120 ? 5 : readCounter_ / 30 + 1;
        status_ = "reading data " + std::string(static_cast<size_t>(dots), '.');
        if (hooks_.tidyOffsets) {
            hooks_.tidyOffsets();
        }
    }
    readCounter_ = (readCounter_ + 1) % 150;
    if (step == SegmentedUploadClient::Step::NextSegment) {
        Request(upload_.NextCommand(), kSampleData, 0);
        hooks_.changed();
        return;
    }
    FinishUpload();
}

void CaptureRun::FinishUpload() {
    services_.switches.cyclicReadEnabled = 1;
    hooks_.decode(upload_.bytes());
    services_.switches.deferredRelease = 1;
    if (!cancelled_ && showsCancel_ && hooks_.continuous && hooks_.continuous()) {
        state_ = State::kPause;
        services_.restartTimer.Start(kSecond, false, [this] { Restart(); });
        hooks_.changed();
        return;
    }
    GoIdle();
}

void CaptureRun::Restart() {
    if (cancelled_ || !busy_ || state_ != State::kPause) {
        services_.restartTimer.Stop();
        return;
    }
    if (!services_.link.DeferredQueueEmpty()) {
        services_.restartTimer.Start(kSecond, false, [this] { Restart(); });
        return;
    }
    services_.restartTimer.Stop();
    hooks_.prepare(false, false);
    SendStart();
}

void CaptureRun::Refuse() {
    services_.pollTimer.Stop();
    services_.restartTimer.Stop();
    cancelled_ = true;
    GoIdle();
}

void CaptureRun::OnAbort(uint32_t address) {
    if (!busy_) {
        return;
    }
    // A refused start or poll, or a refused upload: nothing more will come.
    if (address == kCaptureControl || address == kSampleData) {
        Refuse();
    }
}

}  // namespace tarvo
