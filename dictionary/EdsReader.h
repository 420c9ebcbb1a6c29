#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dictionary/DictionarySource.h"

namespace tarvo {

class EdsDocument;

// What an EDS or DCF describes, in the dictionary source's terms.
struct EdsContents {
    // One entry per served object or sub-object, in index and subindex order. Names fill
    // both language columns; defaults and limits are kept for the simulated drive.
    std::vector<SourceEntry> entries;
    // "<file>:<line>: <object>: <why>; left out" for each object our values cannot hold.
    std::vector<std::string> leftOut;
    // Things read in a way worth telling (a write-only object read as read-write, $NODEID).
    std::vector<std::string> notes;

    // A DCF's ParameterValue of an entry, as written there.
    struct ParameterValue {
        uint32_t key = 0;
        std::string text;
        int line = 0;
    };
    std::vector<ParameterValue> parameterValues;

    // [DeviceComissioning] of a DCF; nodeId 0 when the file has none.
    int nodeId = 0;
    uint32_t baudRateKbit = 0;
    std::string nodeName;
};

// Reads a CiA 306 electronic data sheet (EDS) or device configuration file (DCF) into
// dictionary entries. Every object the lists of [MandatoryObjects], [OptionalObjects] and
// [ManufacturerObjects] name must have its section; a list that disagrees with itself, an
// object listed twice, a SubNumber that disagrees with its sub-objects or a number that is
// no number refuses the file with its name and line.
class EdsReader {
public:
    struct Options {
        int nodeId = 1;  // the value of $NODEID in numbers
    };

    static bool Load(const std::string& path, const Options& options, EdsContents& contents,
                     std::string& error);
    static bool Parse(const std::string& text, const std::string& fileName, const Options& options,
                      EdsContents& contents, std::string& error);
    static bool Read(const EdsDocument& document, const Options& options, EdsContents& contents,
                     std::string& error);
};

}  // namespace tarvo
