#pragma once

#include <cstdint>

namespace tarvo {

// The outcome of one row of an export or an import. Its text stands in the list, in the
// exported file and in tarvoctl's report.
enum class RowResult : uint8_t {
    kNone,     // not done yet: no text
    kTrue,     // read (export), or written and read back unchanged (import)
    kAlarm,    // written, but the drive reads back another value
    kFail,     // the drive refused the read or the write
    kSkipped,  // the import could not write the row: no value, a value that is no number or
               // does not fit, or a size that is not 08h, 10h or 20h
};

// "", "True", "Alarm", "Fail" or "Skipped".
const char* RowResultText(RowResult result);

// Errors are counted and drawn in red: a refused row and a row the import could not write.
constexpr bool IsRowError(RowResult result) {
    return result == RowResult::kFail || result == RowResult::kSkipped;
}

}  // namespace tarvo
