#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "dictionary/DictionarySource.h"
#include "drivesim/SimObject.h"

namespace tarvo::sim {

// The drive's dictionary: every entry of the family's source with its data type, limits
// and present value. Live values are written into it by the drive's behaviours.
class ObjectTable {
public:
    // Builds the table; entries of a data type the drive cannot hold are left out and named
    // in `warnings`. Fails only when no entry is usable.
    // `limitAbortsTellSide`: see SimObject::limitAbortsTellSide.
    bool Build(const std::vector<SourceEntry>& entries, std::string& warnings,
               bool limitAbortsTellSide = false);

    SimObject* Find(uint32_t key);
    const SimObject* Find(uint32_t key) const;
    std::vector<SimObject>& Objects() { return objects_; }
    const std::vector<SimObject>& Objects() const { return objects_; }

    // Checks an expedited write of `widthBytes` bytes; on success `raw` is the value to hold.
    // Returns 0 or the abort code.
    static uint32_t CheckWrite(const SimObject& object, int widthBytes, uint32_t data,
                               uint32_t& raw);

    // Puts every entry for which `which` holds back to its default value.
    void RestoreDefaults(const std::function<bool(const SimObject&)>& which);

    // Live values: a missing entry (a dictionary without it) is skipped or reads as fallback.
    static void Put(SimObject* object, int64_t number) {
        if (object != nullptr) {
            object->raw = object->Narrow(number);
        }
    }
    static int64_t Value(const SimObject* object, int64_t fallback = 0) {
        return object != nullptr ? object->Number() : fallback;
    }

private:
    std::vector<SimObject> objects_;
    std::unordered_map<uint32_t, size_t> byKey_;
};

}  // namespace tarvo::sim
