#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "dictionary/EntryFacts.h"

namespace tarvo {

// A code or bit name in both languages, as the facts file holds it.
struct BilingualName {
    int64_t value = 0;
    std::string zh;
    std::string en;
};

// The facts of one entry as the facts file holds them.
struct FactsRecord {
    uint32_t key = 0;  // index * 256 + subIndex
    std::optional<int64_t> minimum;
    std::optional<int64_t> maximum;
    std::optional<int64_t> factoryDefault;
    bool stored = false;
    std::vector<BilingualName> values;
    std::vector<BilingualName> bits;
};

// The facts file that travels beside a data file (data/tarvo.dat -> data/tarvo.facts.json),
// built from the same dictionary source. It is UTF-8 JSON:
//   {"tarvoFacts": 1, "entries": [
//     {"entry": "6060:00", "min": -7, "max": 10, "default": 0, "stored": true,
//      "values": [{"value": 1, "zh": "...", "en": "Profile position"}],
//      "bits": [{"bit": 0, "zh": "...", "en": "Ready to switch on"}]}]}
// Every member of an entry but "entry" is optional. The data file stays as it is; without a
// facts file (or with a bad one) the program works as it did before there were facts.
class EntryFactsTable {
public:
    static constexpr size_t kFileLimit = size_t{4} << 20;

    // The facts file beside a data file: its name with ".dat" replaced by ".facts.json".
    static std::string PathBeside(const std::string& dataFile);

    // Reads the facts in language 1 (Chinese) or 2 (English; a missing Chinese name falls
    // back to the English one and the other way round). A missing file leaves the table
    // empty and is no problem; a bad one leaves it empty and returns a sentence naming the
    // file and what is wrong. Empty on success.
    std::string Load(const std::string& path, int language);
    std::string Parse(const std::string& text, int language, const std::string& fileName);

    // The facts of a key, or nullptr.
    const EntryFacts* Find(uint32_t key) const;
    bool Empty() const { return facts_.empty(); }
    size_t Size() const { return facts_.size(); }

    // The text of a facts file holding the records, as Parse reads it back.
    static std::string Format(const std::vector<FactsRecord>& records);

private:
    std::unordered_map<uint32_t, EntryFacts> facts_;
};

}  // namespace tarvo
