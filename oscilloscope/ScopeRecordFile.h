#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "oscilloscope/CurvePlot.h"

namespace tarvo {

// What the record file holds: the capture settings, each channel's display settings and
// every sample, raw.
struct ScopeRecord {
    struct Channel {
        bool checked = false;
        int32_t item = 0;  // the item code the drive reported for the channel
        double scale = 0.0;
        double offset = 0.0;
        double unitCoefficient = 0.0;
        int32_t unit = 0;  // position in the unit box
        int32_t autoScale = 0;
    };
    int32_t time = 0;    // sample period, units of 62.5 us
    int32_t offset = 0;  // pretrigger samples
    int32_t number = 0;  // total samples
    int32_t triggerItem = 0;
    int32_t triggerItemValue = 0;  // address of the trigger object
    std::string triggerCollectValue;
    int32_t triggerCollectUnit = 0;
    int32_t continuous = 0;
    std::array<Channel, 4> channels;
    std::vector<PlotRecord> samples;
};

// The record file (.txt): "[oscilloscope]" and key=value lines in UTF-16LE without byte
// order mark, each ending with a line feed; read back by key.
class ScopeRecordFile {
public:
    enum class ReadResult { kOk, kUnreadable, kEmpty, kOddSize, kNotRecord, kTruncated, kTooLong };

    // The drive's sample memory: a record file describing more is refused.
    static constexpr size_t kRecordBytes = 8192;
    // The largest file such a record makes is well below a megabyte; far larger is refused
    // before it is read.
    static constexpr size_t kLargestFile = size_t{8} << 20;

    static std::string Encode(const ScopeRecord& record);
    static ReadResult Decode(std::string_view bytes, ScopeRecord& record);

    // Empty text on success, else what went wrong.
    static std::string Write(const std::string& path, const ScopeRecord& record);
    // For kUnreadable, `reason` (when given) receives the sentence that says why.
    static ReadResult Read(const std::string& path, ScopeRecord& record,
                           std::string* reason = nullptr);
    // The message shown for a result other than kOk.
    static const char* Message(ReadResult result);
};

}  // namespace tarvo
