#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvo {

struct EntryFacts;
class FirstUnitText;
class ImportDrvDataModel;
class ObjectDictionary;
struct DictionaryEntry;

// What a compare of a parameter file with the drive found: the rows that differ, each with
// the file's and the drive's value as a reader wants them (value names where the dictionary
// knows them, the first unit beside the number), and the rows that could not be compared
// with the reason. Rows that read back as the file gives them are not listed.
class DriveDifferences {
public:
    enum class Kind {
        kDiffers,      // the drive holds another value
        kRefused,      // the drive refused the read: `drive` holds the abort and its meaning
        kNotCompared,  // the file's row cannot be written: `drive` holds why
    };
    struct Difference {
        int row = 0;        // index into the model's rows
        std::string entry;  // "6081:00"
        std::string name;
        std::string file;
        std::string drive;
        Kind kind = Kind::kDiffers;
    };

    // The rows of the model's last run that did not read back equal; rows without a result
    // (a stopped run) are left out.
    static std::vector<Difference> Of(const ImportDrvDataModel& model,
                                      const ObjectDictionary& dictionary, FirstUnitText& units);

    // "1 - Closed loop" for a named code, else the text itself; then " (600.000 rpm)" when
    // the entry has a unit beyond its number.
    static std::string Shown(const DictionaryEntry* entry, const EntryFacts* facts,
                             const std::string& text, uint32_t sizeBits, FirstUnitText& units);
};

}  // namespace tarvo
