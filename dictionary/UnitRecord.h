#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvo {

// One bracketed definition of an entry's unitSpec, as in "[r rpm]N*60/512".
struct UnitDefinition {
    std::string firstWord;   // up to the first blank inside the brackets
    std::string secondWord;  // after the first blank; a read definition has one
    std::string formula;

    // The label shown to the user.
    const std::string& Label() const { return secondWord.empty() ? firstWord : secondWord; }
};

// The parsed units of one dictionary entry.
struct UnitRecord {
    uint32_t key = 0;
    uint8_t count = 0;  // number of definitions
    std::vector<UnitDefinition> definitions;
};

}  // namespace tarvo
