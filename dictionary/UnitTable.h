#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "dictionary/UnitRecord.h"

namespace tarvo {

class MessageBox;

// The units of every entry shown so far, parsed from its unitSpec on first registration and
// kept by key for the whole run. User-interface thread only.
class UnitTable {
public:
    // A record holds at most this many definitions, so that its count fits its 8 bits.
    static constexpr size_t kMaxDefinitions = 255;

    explicit UnitTable(MessageBox* messageBox) : messageBox_(messageBox) {}

    // Parses and keeps the units of a key (only at the first registration of the key) and
    // gives the label a new row shows: "DEC" for a unitSpec shorter than 3 characters, else
    // the first definition's label. A longer unitSpec without definitions shows "Add
    // default unit failure \n" at every registration and gives an empty label. False only
    // when the record cannot be stored.
    bool RegisterUnits(uint32_t key, std::string_view unitSpec, std::string& defaultLabel);

    // The record of a key, or nullptr. Records are never removed or moved.
    const UnitRecord* FindRecord(uint32_t key) const;

    // The labels offered in the unit column of a row of this key: each definition's label
    // in order, a second word "DEC" once at the end; only "DEC" without definitions.
    std::vector<std::string> UnitChoices(uint32_t key) const;

    size_t RecordCount() const { return records_.size(); }

    // The definitions of a unitSpec in their written order.
    static std::vector<UnitDefinition> ParseUnitSpec(std::string_view unitSpec);

private:
    struct Registration {
        UnitRecord record;
        std::string defaultLabel;
        bool labelMissing = false;
    };

    void Report(const Registration& registration, std::string& defaultLabel) const;

    MessageBox* messageBox_;
    std::deque<Registration> records_;  // a deque: appending never moves a record
    std::unordered_map<uint32_t, size_t> positions_;
};

}  // namespace tarvo
