#pragma once

namespace tarvo::ScopeMessages {

// Message boxes of the oscilloscope.
inline constexpr const char* kChannelItemMemory = "[Channel Item]No Free Memory!!\n";
inline constexpr const char* kTriggerItemMemory = "[Triggger condition]No Free Memory!!\n";
inline constexpr const char* kRecordTooLong =
    "The drive's record is longer than 8192 bytes; the upload was stopped.\n";
inline constexpr const char* kImportUnreadable = "The record file cannot be read.\n";
inline constexpr const char* kImportEmpty = "The record file is empty.\n";
inline constexpr const char* kImportOddSize =
    "The record file is damaged: it has an odd number of bytes.\n";
inline constexpr const char* kImportNotRecord =
    "The file is not an oscilloscope record: it has no [oscilloscope] section.\n";
inline constexpr const char* kImportTruncated =
    "The record file is cut short: samples are missing.\n";
inline constexpr const char* kImportTooLong =
    "The record file describes more samples than the drive's 8192-byte record holds.\n";
inline constexpr const char* kExportFailed = "The file cannot be written: ";

// Status texts of a capture.
inline constexpr const char* kFinish = "finish";

}  // namespace tarvo::ScopeMessages
