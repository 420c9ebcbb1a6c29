#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvo {

// A named code of an entry, or a named bit of a bit-field word (value is then the bit's
// number, 0 to 31), in the language the dictionary was loaded in.
struct ValueName {
    int64_t value = 0;
    std::string name;
};

// What the dictionary knows of one entry beyond the data file's record: the names of its
// codes or bits, its range and factory default, and whether the drive keeps it over a power
// cycle. Every fact is optional; an entry without facts behaves as it always did.
struct EntryFacts {
    std::optional<int64_t> minimum;
    std::optional<int64_t> maximum;
    std::optional<int64_t> factoryDefault;
    bool stored = false;
    std::vector<ValueName> valueNames;  // ascending by value, no value twice
    std::vector<ValueName> bitNames;    // ascending by bit, no bit twice

    // The name of a code, or nullptr when the code has none.
    const std::string* NameOf(int64_t value) const;
    // "1 - Closed loop" for a named code, else the number alone.
    std::string CodeText(int64_t value) const;
    // The names of the bits set in raw, one per line, "bit N" for a set bit without a name;
    // empty when the entry has no bit names.
    std::string SetBitNames(uint32_t raw) const;
    bool HasRange() const { return minimum.has_value() || maximum.has_value(); }
    // True when the value lies within the range (an open end does not limit).
    bool InRange(int64_t value) const;
    // "-7 to 10"; "at least 0" or "at most 10" for an open end; empty without a range.
    std::string RangeText() const;
};

}  // namespace tarvo
