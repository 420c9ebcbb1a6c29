#include "panels/ioerror/RealtimeErrorModel.h"

#include <cstdio>

#include "platform/ProfileFile.h"
#include "protocol/DriveObjects.h"

namespace tarvo {

namespace {

using DriveObject::kErrorControlHigh;
using DriveObject::kErrorControlLow;
using DriveObject::kErrorStateHigh;
using DriveObject::kErrorStateLow;

// A name is read into a buffer of 32 characters: at most 31 are shown.
constexpr size_t kNameBuffer = 32;

}  // namespace

void RealtimeErrorModel::Create() {
    for (uint32_t key : {kErrorStateLow, kErrorStateHigh, kErrorControlLow, kErrorControlHigh}) {
        setup_.link.registerMonitor(setup_.window, key, MonitorClass::ReadOnly);
    }
    LoadNames();
    readStep_ = 1;
    TakeReadStep();
}

void RealtimeErrorModel::LoadNames() {
    ProfileFile file = ProfileFile::ReadOnce(setup_.namesPath);
    namesProblem_ = file.SectionProblem("RealTimeError");
    for (int bit = 0; bit < kBits; ++bit) {
        char key[16];
        std::snprintf(key, sizeof key, "%sBit%.2d", setup_.chinese ? "ch" : "en", bit + 1);
        names_[bit] = file.GetString("RealTimeError", key, "", kNameBuffer);
    }
}

void RealtimeErrorModel::TakeReadStep() {
    static constexpr uint32_t kOrder[] = {kErrorControlLow, kErrorControlHigh, kErrorStateLow,
                                          kErrorStateHigh};
    if (readStep_ < 1 || readStep_ > 4) {
        readStep_ = 0;
        return;
    }
    uint32_t key = kOrder[readStep_ - 1];
    readStep_ = readStep_ == 4 ? 0 : readStep_ + 1;
    setup_.link.requester.Request(setup_.window, SdoCommand::Read, key, 0);
}

void RealtimeErrorModel::OnLinkValue(uint32_t raw, uint32_t key) {
    if (key == kErrorControlLow || key == kErrorControlHigh) {
        int index = key == kErrorControlLow ? 0 : 1;
        ControlGroup& group = groups_[index];
        group.word = raw & 0xFFFF;
        group.known = true;
        if ((group.pendingSet | group.pendingClear) != 0) {
            uint32_t wanted = (group.word | group.pendingSet) & ~group.pendingClear;
            group.pendingSet = group.pendingClear = 0;
            if (wanted != group.word) {
                setup_.link.requester.Request(setup_.window, SdoCommand::Write16, key, wanted);
            }
        }
    } else if (key == kErrorStateLow) {
        stateBits_ = (stateBits_ & 0xFFFF0000u) | (raw & 0xFFFF);
    } else if (key == kErrorStateHigh) {
        stateBits_ = (stateBits_ & 0xFFFFu) | (raw & 0xFFFF) << 16;
    }
    if (readStep_ != 0) {
        TakeReadStep();
    }
}

bool RealtimeErrorModel::BoxTicked(int bit) const {
    const ControlGroup& group = groups_[bit / 16];
    uint32_t mask = 1u << (bit % 16);
    if (!group.known) {
        // Shown as if the word were FFFFh until it arrives, with the clicks made meanwhile.
        return (mask & ~group.pendingClear) != 0;
    }
    return (group.word & mask) != 0;
}

void RealtimeErrorModel::ClickBox(int bit, bool ticked) {
    if (bit < 0 || bit >= kBits) {
        return;
    }
    ControlGroup& group = groups_[bit / 16];
    uint32_t mask = 1u << (bit % 16);
    if (!group.known) {
        // Writing the placeholder would switch on every error reaction of the drive.
        group.pendingSet = ticked ? group.pendingSet | mask : group.pendingSet & ~mask;
        group.pendingClear = ticked ? group.pendingClear & ~mask : group.pendingClear | mask;
        return;
    }
    uint32_t word = ticked ? group.word | mask : group.word & ~mask;
    setup_.link.requester.Request(setup_.window, SdoCommand::Write16, GroupKey(bit / 16), word);
}

}  // namespace tarvo
