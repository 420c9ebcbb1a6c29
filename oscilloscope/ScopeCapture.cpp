#include "oscilloscope/ScopeCapture.h"

#include <algorithm>
#include <iterator>

#include "oscilloscope/ScopeItem.h"
#include "oscilloscope/ScopeLink.h"
#include "platform/MessageTarget.h"

namespace tarvo {

namespace {

using Sub = CaptureObject::Sub;

// The settings in the order they are read; the total comes again at the end, after the
// slots, since the drive may fit it to the memory the slots leave.
constexpr Sub kReadSequence[] = {Sub::SamplePeriod,  Sub::PretriggerSamples,
                                 Sub::TotalSamples,  Sub::TriggerEdge,
                                 Sub::TriggerSource, Sub::TriggerLevel,
                                 Sub::Slot1,         Sub::Slot2,
                                 Sub::Slot3,         Sub::Slot4,
                                 Sub::Slot5,         Sub::Slot6,
                                 Sub::TotalSamples};
constexpr int kSteps = static_cast<int>(std::size(kReadSequence));
constexpr int kFirstSlotStep = 7;
constexpr int kLastStep = kSteps;

bool IsSlot(Sub sub) {
    return sub >= Sub::Slot1 && sub <= Sub::Slot6;
}

}  // namespace

ScopeCapture::ScopeCapture(const Services& services, Hooks hooks)
    : services_(services),
      hooks_(std::move(hooks)),
      run_({services.link, services.switches, services.messageBox, services.pollTimer,
            services.restartTimer, services.watchTimer, services.owner},
           {[this](bool fresh, bool reread) {
                if (hooks_.prepare) {
                    hooks_.prepare(fresh, reread);
                }
            },
            [this](const std::vector<uint8_t>& bytes) { Decode(bytes); },
            [this] {
                if (hooks_.changed) {
                    hooks_.changed();
                }
            },
            hooks_.tidyOffsets, hooks_.continuous, [this] { return ExpectedBytes(); }}) {}

void ScopeCapture::Request(SdoCommand command, Sub sub, uint32_t data) {
    services_.link.Request(services_.owner, command, CaptureObject::Address(sub), data);
}

void ScopeCapture::ReadSettings() {
    readStep_ = 1;
    QueueNextRead();
}

void ScopeCapture::ReadBackAfterReply(ReadBack what) {
    readStep_ = what == ReadBack::kTotal ? kLastStep : kFirstSlotStep;
}

void ScopeCapture::QueueNextRead() {
    if (readStep_ >= 1 && readStep_ <= kLastStep) {
        Sub sub = kReadSequence[readStep_ - 1];
        ++readStep_;
        Request(SdoCommand::Read, sub, 0);
    } else {
        readStep_ = 0;
    }
}

ScopeCapture::Sub ScopeCapture::SlotFor(int channel, uint32_t code) {
    return ScopeItemCode::Width(code) < 32 ? CaptureObject::SlotSub(channel) : PairSlot(channel);
}

void ScopeCapture::WriteSlot(Sub slot, uint32_t code) {
    Request(SdoCommand::Write32, slot, code);
}

void ScopeCapture::WriteTrigger(uint32_t code) {
    Request(SdoCommand::Write32, Sub::TriggerSource, code);
}

void ScopeCapture::WriteLevel(uint32_t raw) {
    Request(SdoCommand::Write32, Sub::TriggerLevel, raw);
}

void ScopeCapture::ReadLevel() {
    Request(SdoCommand::Read, Sub::TriggerLevel, 0);
}

void ScopeCapture::WriteEdge(int edge) {
    Request(SdoCommand::Write8, Sub::TriggerEdge, static_cast<uint32_t>(edge));
}

void ScopeCapture::WritePeriod(uint32_t period) {
    Request(SdoCommand::Write16, Sub::SamplePeriod, period);
}

void ScopeCapture::WritePretrigger(uint32_t samples) {
    Request(SdoCommand::Write16, Sub::PretriggerSamples, samples);
}

void ScopeCapture::WriteTotal(uint32_t samples) {
    Request(SdoCommand::Write16, Sub::TotalSamples, samples);
    ReadBackAfterReply(ReadBack::kTotal);
}

void ScopeCapture::ReadTotal() {
    Request(SdoCommand::Read, Sub::TotalSamples, 0);
}

bool ScopeCapture::Deliver(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    auto address = static_cast<uint32_t>(lParam);
    switch (message) {
        case WM_LINK_VALUE:
            Reply(address, static_cast<uint32_t>(wParam));
            QueueNextRead();
            return true;
        case WM_LINK_SEGMENT:
            run_.OnSegment();
            return true;
        case WM_LINK_ABORT:
            Refused(address);
            return true;
        default:
            return false;
    }
}

void ScopeCapture::Reply(uint32_t address, uint32_t value) {
    if (IndexOf(address) != CaptureObject::kIndex) {
        if (hooks_.otherObject) {
            hooks_.otherObject(address);
        }
        return;
    }
    auto sub = static_cast<Sub>(SubIndexOf(address));
    if (IsSlot(sub)) {
        settings_.slotCodes[static_cast<size_t>(sub) - 1] = value;
    } else {
        switch (sub) {
            case Sub::CaptureControl:
            case Sub::SampleData:
                run_.OnValue(address, value);
                return;
            case Sub::SamplePeriod:
                settings_.samplePeriod = static_cast<int32_t>(value);
                break;
            case Sub::PretriggerSamples:
                settings_.pretrigger = static_cast<int16_t>(value & 0xFFFF);
                break;
            case Sub::TotalSamples:
                settings_.total = static_cast<int32_t>(value);
                totalRefusals_ = 0;
                break;
            case Sub::TriggerEdge:
                settings_.edge = static_cast<int>(value & 0xFF);
                break;
            case Sub::TriggerSource:
                settings_.trigger = value;
                break;
            case Sub::TriggerLevel:
                settings_.level = value;
                break;
            default:
                return;
        }
    }
    if (hooks_.reported) {
        hooks_.reported(sub, value);
    }
}

void ScopeCapture::Refused(uint32_t address) {
    if (IndexOf(address) != CaptureObject::kIndex) {
        return;
    }
    auto sub = static_cast<Sub>(SubIndexOf(address));
    if (IsSlot(sub)) {
        settings_.slotCodes[static_cast<size_t>(sub) - 1] = 0;
    } else if (sub == Sub::CaptureControl || sub == Sub::SampleData) {
        run_.OnAbort(address);
        return;
    } else if (sub == Sub::TotalSamples) {
        // The total stays what the drive holds: it is read again, but a drive that keeps
        // refusing must not tie up the link.
        if (++totalRefusals_ < kTotalRefusals) {
            ReadTotal();
            return;
        }
        totalRefusals_ = 0;
    }
    if (hooks_.refused) {
        hooks_.refused(sub);
    }
}

size_t ScopeCapture::ExpectedBytes() const {
    int32_t total = hooks_.total ? hooks_.total() : settings_.total;
    RecordLayout layout = hooks_.layout ? hooks_.layout() : RecordLayout{};
    return static_cast<size_t>(std::max(total, 0)) * layout.BytesPerRecord();
}

void ScopeCapture::Decode(const std::vector<uint8_t>& bytes) {
    RecordLayout layout = hooks_.layout ? hooks_.layout() : RecordLayout{};
    records_ = RecordDecoder::Decode(bytes.data(), bytes.size(), layout, samples_);
    if (hooks_.decoded) {
        hooks_.decoded();
    }
}

}  // namespace tarvo
