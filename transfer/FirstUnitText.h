#pragma once

#include <cstdint>
#include <string>

#include "dictionary/DictionaryEntry.h"
#include "dictionary/OfflineUnitConverter.h"

namespace tarvo {

// A raw value of a parameter file in its entry's first unit, as the comparison of a file
// with the drive shows it beside the number. Units whose formula needs another entry's value
// give no text: a comparison makes no second exchange for them.
class FirstUnitText {
public:
    // " (600.000 rpm)": empty when the entry has no unit beyond its number (none, DEC, HEX),
    // the text is no number of `sizeBits`, or the unit's formula gives no value.
    std::string Of(const DictionaryEntry& entry, const std::string& valueText, uint32_t sizeBits);

private:
    // No formula reads another entry here: a comparison makes no second exchange.
    OfflineUnitConverter converter_;
};

}  // namespace tarvo
