#include "drivesim/CaptureRecorder.h"

#include <algorithm>
#include <iterator>

#include "protocol/DriveProtocol.h"

namespace tarvo::sim {

namespace {

using Sub = CaptureObject::Sub;

constexpr uint64_t kStartPending = ~0ull;
constexpr uint64_t kPreparingTicks = 160;          // 10 ms to put the record together
constexpr int kSlotOrder[6] = {0, 1, 4, 2, 3, 5};  // slot 1, 2, 5, 3, 4, 6

}  // namespace

CaptureRecorder::CaptureRecorder(ObjectTable& table) : table_(table) {
    for (uint8_t sub = 1; sub < std::size(sub_); ++sub) {
        sub_[sub] = table.Find(ObjectAddressOf(CaptureObject::kIndex, sub));
    }
}

void CaptureRecorder::Reset() {
    state_ = 0;
    record_.clear();
    before_.clear();
    recorded_ = 0;
    Publish();
}

uint32_t CaptureRecorder::SlotCode(int slot) const {
    return static_cast<uint32_t>(ObjectTable::Value(Object(CaptureObject::SlotSub(slot + 1))));
}

size_t CaptureRecorder::BytesPerSample(const uint32_t slots[6]) {
    size_t bytes = 0;
    for (int slot = 0; slot < 6; ++slot) {
        if (slots[slot] != 0) {
            bytes += slot < 4 ? 2 : 4;
        }
    }
    return bytes;
}

size_t CaptureRecorder::MemorySize() const {
    int64_t size = ObjectTable::Value(Object(Sub::MemorySize), 8000);
    return static_cast<size_t>(std::clamp<int64_t>(size, 16, 8192));
}

bool CaptureRecorder::ValidCode(uint32_t code, int requiredBits) const {
    if (code == 0) {
        return true;
    }
    const SimObject* object = table_.Find(code >> 8);
    int bits = static_cast<int>(code & 0xFF);
    return object != nullptr && object->IsNumber() && object->width * 8 == bits &&
           (requiredBits == 0 || bits == requiredBits);
}

void CaptureRecorder::LimitSamples() {
    uint32_t slots[6];
    for (int slot = 0; slot < 6; ++slot) {
        slots[slot] = SlotCode(slot);
    }
    size_t bytes = BytesPerSample(slots);
    if (bytes != 0) {
        int64_t most = static_cast<int64_t>(MemorySize() / bytes);
        if (ObjectTable::Value(Object(Sub::TotalSamples)) > most) {
            ObjectTable::Put(Object(Sub::TotalSamples), most);
        }
    }
    if (ObjectTable::Value(Object(Sub::PretriggerSamples)) >
        ObjectTable::Value(Object(Sub::TotalSamples))) {
        ObjectTable::Put(Object(Sub::PretriggerSamples),
                         ObjectTable::Value(Object(Sub::TotalSamples)));
    }
}

uint32_t CaptureRecorder::Write(uint8_t subIndex, uint32_t raw, uint32_t& held) {
    SimObject* object = subIndex < std::size(sub_) ? sub_[subIndex] : nullptr;
    if (object == nullptr) {
        return AbortCode::kNoSuchObject;
    }
    switch (static_cast<Sub>(subIndex)) {
        case Sub::Slot1:
        case Sub::Slot2:
        case Sub::Slot3:
        case Sub::Slot4:
        case Sub::Slot5:
        case Sub::Slot6:
            // A slot takes the code of an existing number object of its own width.
            if (!ValidCode(raw, static_cast<Sub>(subIndex) <= Sub::Slot4 ? 16 : 32)) {
                return AbortCode::kValueOutOfRange;
            }
            object->raw = raw;
            LimitSamples();
            break;
        case Sub::CaptureControl:
            if (raw == CaptureObject::kStartCapture) {
                LimitSamples();
                for (int slot = 0; slot < 6; ++slot) {
                    slots_[slot] = SlotCode(slot);
                }
                period_ = static_cast<uint32_t>(
                    std::max<int64_t>(1, ObjectTable::Value(Object(Sub::SamplePeriod))));
                total_ = static_cast<uint32_t>(
                    std::max<int64_t>(1, ObjectTable::Value(Object(Sub::TotalSamples))));
                pretrigger_ = static_cast<uint32_t>(std::clamp<int64_t>(
                    ObjectTable::Value(Object(Sub::PretriggerSamples)), 0, total_));
                record_.clear();
                before_.clear();
                recorded_ = 0;
                havePrevious_ = false;
                startTick_ = kStartPending;
                state_ = ObjectTable::Value(Object(Sub::TriggerSource)) == 0 ? 2 : 1;
            } else if (raw == 0) {
                state_ = 0;
                record_.clear();
                recorded_ = 0;
            } else {
                return AbortCode::kValueOutOfRange;
            }
            Publish();
            break;
        case Sub::TriggerSource:
            if (!ValidCode(raw, 0)) {
                return AbortCode::kValueOutOfRange;
            }
            object->raw = raw;
            break;
        default:
            object->raw = raw;
            LimitSamples();
            break;
    }
    held = object->raw;
    return AbortCode::kNone;
}

int64_t CaptureRecorder::TriggerValue() const {
    const SimObject* source =
        table_.Find(static_cast<uint32_t>(ObjectTable::Value(Object(Sub::TriggerSource))) >> 8);
    return source != nullptr ? source->Number() : 0;
}

void CaptureRecorder::AppendSample(std::string& bytes) const {
    for (int slot : kSlotOrder) {
        if (slots_[slot] == 0) {
            continue;
        }
        const SimObject* object = table_.Find(slots_[slot] >> 8);
        uint32_t raw = object != nullptr ? object->raw : 0;
        int width = slot < 4 ? 2 : 4;
        for (int i = 0; i < width; ++i) {
            bytes.push_back(static_cast<char>((raw >> (8 * i)) & 0xFF));
        }
    }
}

void CaptureRecorder::Step(uint64_t tick) {
    if (state_ == 0) {
        return;
    }
    if (state_ == 3) {
        if (tick >= preparedTick_) {
            state_ = 0;
            Publish();
        }
        return;
    }
    if (startTick_ == kStartPending) {
        startTick_ = tick;
    }
    if ((tick - startTick_) % period_ != 0) {
        return;
    }
    std::string sample;
    AppendSample(sample);
    if (state_ == 1) {
        const SimObject* source =
            table_.Find(static_cast<uint32_t>(ObjectTable::Value(Object(Sub::TriggerSource))) >> 8);
        uint32_t levelRaw =
            Object(Sub::TriggerLevel) != nullptr ? Object(Sub::TriggerLevel)->raw : 0;
        int64_t level = source != nullptr && source->kind == ValueKind::Unsigned
                            ? static_cast<int64_t>(levelRaw)
                            : static_cast<int64_t>(static_cast<int32_t>(levelRaw));
        int64_t value = TriggerValue();
        bool rising = ObjectTable::Value(Object(Sub::TriggerEdge)) == 0;
        bool fired = havePrevious_ && before_.size() >= pretrigger_ &&
                     (rising ? previousTrigger_ < level && value >= level
                             : previousTrigger_ >= level && value < level);
        previousTrigger_ = value;
        havePrevious_ = true;
        if (!fired) {
            before_.push_back(std::move(sample));
            if (before_.size() > pretrigger_) {
                before_.pop_front();
            }
            recorded_ = static_cast<uint32_t>(before_.size());
            Publish();
            return;
        }
        for (const std::string& earlier : before_) {
            record_ += earlier;
        }
        recorded_ = static_cast<uint32_t>(before_.size());
        before_.clear();
        state_ = 2;
    }
    record_ += sample;
    ++recorded_;
    if (recorded_ >= total_) {
        state_ = 3;
        preparedTick_ = tick + kPreparingTicks;
    }
    Publish();
}

uint32_t CaptureRecorder::Record(std::string& bytes) const {
    if (state_ != 0) {
        return AbortCode::kDeviceState;
    }
    bytes = record_;
    return AbortCode::kNone;
}

void CaptureRecorder::Publish() {
    ObjectTable::Put(Object(Sub::CaptureControl), state_);
    ObjectTable::Put(Object(Sub::RecordedSamples), recorded_);
}

}  // namespace tarvo::sim
