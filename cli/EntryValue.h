#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dictionary/DictionaryEntry.h"
#include "dictionary/EntryFacts.h"
#include "dictionary/OfflineUnitConverter.h"
#include "dictionary/UnitConverter.h"

namespace tarvo {

// An entry's value as tarvoctl prints and accepts it: raw drive values through the units
// of the dictionary, converted as the panels and the oscilloscope convert them. Formulas
// that refer to other entries get those values through `readReference`.
class EntryValue {
public:
    using ReadReference = std::function<std::optional<int32_t>(uint32_t key)>;

    explicit EntryValue(ReadReference readReference);

    // The unit shown without --unit: the label of the entry's first unit ("" when none).
    static std::string DefaultUnit(const DictionaryEntry& entry);
    // The labels a read may show, and those a write may take, in the dictionary's order.
    static std::vector<std::string> ReadUnits(const DictionaryEntry& entry);
    static std::vector<std::string> WriteUnits(const DictionaryEntry& entry);
    // 8, 16 or 32 from the data type; 0 when it has none.
    static int Width(const DictionaryEntry& entry);

    // The number a raw value stands for: its low bits of the entry's width, sign-extended
    // for INTEGER types (an entry without a width keeps the raw value as unsigned).
    static int64_t Number(const DictionaryEntry& entry, uint32_t raw);
    // " (Closed-loop stepping)" when the facts name the raw value's code, else empty.
    static std::string NameSuffix(const EntryFacts* facts, const DictionaryEntry& entry,
                                  uint32_t raw);
    // The code a name stands for (case-insensitive), when the facts name one so.
    static std::optional<int64_t> CodeOfName(const EntryFacts* facts, const std::string& name);
    // Empty when the raw value lies within the facts' range, else the refusal:
    // "6060:00: 11 is out of range for 6060:00 Modes of operation (-7 to 10)", or for a
    // value typed in a unit "2050:09: 48010 rpm (raw 409685) is out of range for ...".
    static std::string RangeProblem(const EntryFacts* facts, const DictionaryEntry& entry,
                                    uint32_t raw, const std::string& typedInUnit = {});

    // The text of a raw value in `unit` (HEX as 0x..., DEC or "" as a whole number).
    bool Show(const DictionaryEntry& entry, uint32_t raw, const std::string& unit,
              std::string& text, std::string& error);
    // The raw value of `text` in `unit` ("", DEC, HEX: a whole number of `width` bits).
    bool Parse(const DictionaryEntry& entry, const std::string& text, const std::string& unit,
               int width, uint32_t& raw, std::string& error);

private:
    // The message of a conversion that gave no value.
    static std::string Failure(const UnitValue& converted, const std::string& unit);

    // References are read from the drive before evaluating.
    OfflineUnitConverter converter_;
};

}  // namespace tarvo
