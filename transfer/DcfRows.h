#pragma once

#include <map>
#include <string>
#include <vector>

#include "dictionary/EdsReader.h"
#include "transfer/ObjectListFile.h"

namespace tarvo {

class ObjectDictionary;

// The rows a device configuration file (DCF) gives the export and the import: the number
// entries of the dictionary that a DCF export reads, and the ParameterValue rows of a DCF
// as a parameter file for the import, which writes and verifies them as any other.
class DcfRows {
public:
    // True when the file name ends in ".dcf" (any case).
    static bool IsDcf(const std::string& path);

    // One object word per dictionary entry with an 8, 16 or 32-bit value, in file order.
    static std::vector<ObjectListFile::Item> ItemsOf(const ObjectDictionary& dictionary);

    struct Import {
        std::string parameterText;         // "IIIISSWW,value,True" lines with CR LF
        std::vector<std::string> skipped;  // "<file>:<line>: <entry>: <why>; not written"
        size_t rows = 0;
    };
    // The writable entries' ParameterValue rows of a DCF read by EdsReader; a read-only
    // entry's value, a text value or a command object's (controlword, store, restore,
    // reboot) is skipped and named.
    static Import FromContents(const EdsContents& contents, const std::string& fileName);
};

}  // namespace tarvo
