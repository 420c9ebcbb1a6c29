#pragma once

#include <cstdint>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "dictionary/DictionarySource.h"

namespace tarvo {

class ObjectDictionary;

// Writes a CiA 306 electronic data sheet (EDS 4.0) of dictionary entries, or a device
// configuration file (DCF) when commissioning values are given: ASCII text with CR LF
// line ends, one section per object, ARRAY or RECORD objects grouped by index.
class EdsWriter {
public:
    struct Device {
        std::string vendorName = "Tarvo";
        std::string productName;  // empty: the default of 1008h, else "Stepper drive"
        std::string orderCode;
    };
    // [DeviceComissioning] and ParameterValue= of a DCF.
    struct Commissioning {
        int nodeId = 1;
        uint32_t baudRateKbit = 500;
        std::string nodeName;
        std::map<uint32_t, std::string> values;  // key -> value as the drive holds it
    };
    struct Settings {
        std::string fileName;  // FileName= of [FileInfo]
        Device device;
        bool defaultsKnown = false;                    // the entries carry defaults and limits
        std::time_t created = 0;                       // 0: now
        const Commissioning* commissioning = nullptr;  // a DCF when set
    };

    // False with the entry and reason when an entry has a data type an EDS cannot name or
    // an index or subindex that is no hexadecimal number.
    static bool Write(const std::vector<SourceEntry>& entries, const Settings& settings,
                      std::string& text, std::string& error);

    // The entries of a loaded dictionary (its names in their loaded language), without
    // defaults or limits.
    static std::vector<SourceEntry> EntriesOf(const ObjectDictionary& dictionary);
};

}  // namespace tarvo
