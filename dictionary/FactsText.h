#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "dictionary/EntryFacts.h"

namespace tarvo {

// What the facts of an entry say in words, in the interface language: its range, its
// factory default, the refusal of a value outside its range, the help pane's lines and the
// text a list shows for a named code. The sentences come from the string table (ids
// 1700-1739); without one they are English. Qt-free; user-interface thread only.
class FactsText {
public:
    // The string of an id in the interface language; an empty answer falls back to English.
    using Lookup = std::function<std::string(int id)>;

    enum TextId : int {
        kOutOfRange = 1700,  // %1 value, %2 entry name, %3 range
        kRangeBoth = 1701,   // %1 minimum, %2 maximum
        kRangeLow = 1702,
        kRangeHigh = 1703,
        kDefaultLine = 1704,
        kRangeLine = 1705,
        kValuesHeading = 1706,
        kBitsHeading = 1707,
        kMarkDefaults = 1708,
        kValueHeader = 1709,
        kDiffersLine = 1710,
        kReadEarlier = 1711,
        kSetBitsHeading = 1712,
        kNotConnected = 1713,
    };

    explicit FactsText(Lookup lookup = {}) : lookup_(std::move(lookup)) {}

    // The sentence of an id with %1, %2, %3 replaced.
    std::string Text(int id, std::string_view a = {}, std::string_view b = {},
                     std::string_view c = {}) const;

    // "-7 to 10", "at least 0", "at most 10"; empty without a range.
    std::string Range(const EntryFacts& facts) const;
    // Empty when the raw value lies in the range, else the refusal naming value and range.
    std::string RangeRefusal(const EntryFacts& facts, int64_t raw, std::string_view shownValue,
                             std::string_view entryName) const;
    // "Differs from the factory default (1 - Closed loop)" when the raw value is not the
    // default; empty when it is or the entry has none. `shownDefault` is the default in the
    // row's unit; empty: the raw default.
    std::string DiffersLine(const EntryFacts& facts, int64_t raw,
                            std::string_view shownDefault = {}) const;
    // Range, factory default, value names and bit names, one per line, for a help pane.
    std::string HelpLines(const EntryFacts& facts) const;

    // True when a row in this unit shows a named code as its name: the plain decimal unit.
    static bool ShowsCodeNames(std::string_view unitLabel);
    // True when the raw value is known and differs from the entry's factory default.
    static bool DiffersFromDefault(const EntryFacts* facts, std::optional<int64_t> raw);
    // The text a list shows for a value text in a unit: "1 - Closed loop" for a named code in
    // the plain decimal unit, else the text as it is.
    static std::string Shown(const EntryFacts* facts, std::string_view unitLabel,
                             const std::string& valueText);

private:
    Lookup lookup_;
};

}  // namespace tarvo
