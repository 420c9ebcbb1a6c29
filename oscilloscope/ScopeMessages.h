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
    "The record file is cut short: its last line is incomplete.\n";
inline constexpr const char* kImportTooLong =
    "The record file describes more samples than the drive's 8192-byte record holds.\n";
inline constexpr const char* kExportFailed = "The file cannot be written: ";

// Status texts of a capture.
inline constexpr const char* kFinish = "finish";
inline constexpr const char* kLinkClosed = "stopped: the connection closed";
inline constexpr const char* kNoAnswer = "stopped: the drive does not answer";

// Notices beside the form's controls: why an action did nothing or what it changed.
inline constexpr const char* kEmptyRecord = "The drive's record is empty: no sample was taken.";
inline constexpr const char* kNoChannel = "Tick a channel to sample: no channel is ticked.";
inline constexpr const char* kTotalRefused =
    "The drive refuses to report \"Samples total\" (2300h:0Ah); it is not asked again.";
inline constexpr const char* kCountRange = "Enter a whole number from 0 to 65535.";

}  // namespace tarvo::ScopeMessages
