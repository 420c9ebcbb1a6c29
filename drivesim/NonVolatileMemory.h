#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "drivesim/ObjectTable.h"

namespace tarvo::sim {

// The drive's non-volatile memory: the values of the stored ('S') entries as they were at
// the last store command, given back at every power-on. Kept only in memory, or in a file
// when one is named, so that a simulated drive remembers its parameters across runs.
class NonVolatileMemory {
public:
    explicit NonVolatileMemory(std::string file = {}) : file_(std::move(file)) {}

    // Reads the file when one is named and exists; false (with the reason) when it is
    // unreadable or malformed, in which case nothing is kept.
    bool Load(std::string& error);
    // Takes the present values: the motor parameters (2000h) or every other stored entry.
    void Store(const ObjectTable& table, bool motorParameters);
    // Writes the file when one is named; false with the reason when it cannot be written.
    bool Save(std::string& error) const;
    // Power-on: every entry to its default, then the stored ones to their stored values.
    void Apply(ObjectTable& table) const;

    static bool IsMotorParameter(const SimObject& object) { return object.Index() == 0x2000; }
    size_t Size() const { return values_.size(); }

private:
    std::string file_;
    std::map<uint32_t, uint32_t> values_;
};

}  // namespace tarvo::sim
