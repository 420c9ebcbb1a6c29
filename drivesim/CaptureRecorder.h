#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "drivesim/ObjectTable.h"
#include "protocol/DriveObjects.h"

namespace tarvo::sim {

// The drive's oscilloscope, capture object 2300h: up to four 16-bit slots and two 32-bit
// slots sampled every sample period (units of 62.5 us) into a record of the total samples,
// of which the pretrigger samples come before the trigger. Capture state (2300h:07h):
// 1 waiting for the trigger, 2 recording, 3 preparing the record, 0 record complete.
class CaptureRecorder {
public:
    explicit CaptureRecorder(ObjectTable& table);

    void Reset();
    // The capture object's part of a write to 2300h that passed the dictionary's checks:
    // returns 0 or the abort code, and the value the drive holds afterwards.
    uint32_t Write(uint8_t subIndex, uint32_t raw, uint32_t& held);
    // One drive tick (62.5 us); `tick` counts from power-on.
    void Step(uint64_t tick);

    uint8_t State() const { return state_; }
    // The complete record for the segmented upload of 2300h:10h; refused while a capture
    // runs.
    uint32_t Record(std::string& bytes) const;
    // Bytes of one sample instant with the present slots.
    static size_t BytesPerSample(const uint32_t slots[6]);
    size_t MemorySize() const;

private:
    SimObject* Object(CaptureObject::Sub sub) const { return sub_[static_cast<uint8_t>(sub)]; }
    uint32_t SlotCode(int slot) const;
    bool ValidCode(uint32_t code, int requiredBits) const;
    void LimitSamples();
    void AppendSample(std::string& bytes) const;
    int64_t TriggerValue() const;
    void Publish();

    ObjectTable& table_;
    // By subindex, up to the sample data.
    SimObject* sub_[static_cast<uint8_t>(CaptureObject::Sub::SampleData) + 1] = {};

    uint8_t state_ = 0;
    uint32_t slots_[6] = {};  // the slots of the running capture
    uint32_t period_ = 1;
    uint32_t pretrigger_ = 0;
    uint32_t total_ = 0;
    uint64_t startTick_ = 0;
    uint64_t preparedTick_ = 0;
    std::deque<std::string> before_;  // samples before the trigger, at most pretrigger
    std::string record_;
    uint32_t recorded_ = 0;
    bool havePrevious_ = false;
    int64_t previousTrigger_ = 0;
};

}  // namespace tarvo::sim
