#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dictionary/EntryFactsTable.h"

namespace tarvo {

// One entry of the drive family's readable dictionary source (drivedata/dictionary.json):
// what the data file holds plus the simulated drive's default, minimum and maximum.
struct SourceEntry {
    std::string index;     // four hexadecimal digits
    std::string subIndex;  // two hexadecimal digits
    std::string nameZh, nameEn;
    std::string dataType;
    std::string attribute;
    std::string helpZh, helpEn;
    std::string unitSpec;
    std::string modbus;  // four hexadecimal digits, "0000" for none
    int64_t defaultValue = 0;
    int64_t minimum = 0;
    int64_t maximum = 0;
    bool hasRange = false;    // "min" and "max" are given
    bool hasDefault = false;  // "default" is given
    std::string defaultText;  // for VISIBLE STRING entries
    // Names of codes ("values": [[1, "...", "Closed loop"], ...]) and of bits ("bits":
    // [[0, "...", "Ready to switch on"], ...]), Chinese then English; both optional.
    std::vector<BilingualName> values;
    std::vector<BilingualName> bits;
    int line = 0;  // where the entry starts in the source
};

// Reads the dictionary source and writes the data file tarvo.dat from it (Chinese columns
// in GBK, English ones in Windows-1252). Errors name the file and line.
class DictionarySource {
public:
    static bool Load(const std::string& path, std::vector<SourceEntry>& entries,
                     std::string& error);
    static bool Parse(const std::string& text, const std::string& fileName,
                      std::vector<SourceEntry>& entries, std::string& error);
    static bool WriteDataFile(const std::vector<SourceEntry>& entries, const std::string& path,
                              std::string& error);
    // The readable source of the entries, one entry a line, as Load reads it back.
    static std::string Format(const std::vector<SourceEntry>& entries);
    // What the facts file beside the data file says of the entries: range and default of
    // every number entry, whether the drive stores it, and the names of codes and bits.
    static std::vector<FactsRecord> Facts(const std::vector<SourceEntry>& entries);
    // The bytes of the data file for the entries.
    static bool Encode(const std::vector<SourceEntry>& entries, std::string& bytes,
                       std::string& error, const std::string& fileName);
};

}  // namespace tarvo
