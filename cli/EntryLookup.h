#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "dictionary/DictionaryEntry.h"
#include "dictionary/ObjectDictionary.h"

namespace tarvo {

// Finds the entries a command line names: by key ("6081:00", "0x6081:0") or by dictionary
// name ("Profile velocity", case-insensitive), in the English texts of data/tarvo.dat.
class EntryLookup {
public:
    // Loads <programFolder>/data/tarvo.dat.
    explicit EntryLookup(const std::string& programFolder);

    // False, with the reason on standard error, when the dictionary could not be loaded
    // (missing, unreadable, not a regular file, far too large, or holding no entry): the
    // commands then stop before anything is sent, as every value would be shown raw.
    bool Usable() const;

    // The entry named by `text`; false with a message on standard error when the text is no
    // key and no single name (an ambiguous name lists its entries). A key that the
    // dictionary does not hold gives an entry with only its key, index and subindex.
    bool Find(const std::string& text, DictionaryEntry& entry) const;

    static std::string KeyText(uint32_t key);  // "6081:00"

    // What the facts file beside the data file says of a key, with the names of codes and
    // bits in English, or in Chinese after UseChineseNames; nullptr when it says nothing.
    const EntryFacts* FactsOf(uint32_t key) const;
    void UseChineseNames();

private:
    std::string dataFile_;
    ObjectDictionary dictionary_;
    bool loaded_ = false;
    bool chinese_ = false;
    EntryFactsTable chineseFacts_;
};

}  // namespace tarvo
