#pragma once

namespace tarvo::TransferTexts {

// The fixed texts of the export and import views (the same in both languages).
inline constexpr const char* kNotYetProcessed = "not yet processed...";
inline constexpr const char* kPortNotOpen = "Comm port isn't Open!";
inline constexpr const char* kFileOpenFailure = "File open failure! \n";
inline constexpr const char* kUnknownName = "? ? ? ?";
// The rows' results have their texts in RowResult.

inline constexpr const char* kOpeningList = "Open export object list...";
inline constexpr const char* kListProcessed = "Export object list processed.";
inline constexpr const char* kStartRead = "Start to read data...";
inline constexpr const char* kExportFinish = "Finish: Total:%d  Error:%d ";
inline constexpr const char* kStartSave = "Start to save data...";
inline constexpr const char* kSaveFinished = "save finished.";

inline constexpr const char* kOpeningImport = "Open import data file...";
inline constexpr const char* kImportLoaded = "Import data finished.";
inline constexpr const char* kStartWrite = "Start to write data...";
inline constexpr const char* kImportFinish = "Finish: Total:%d  Alarm:%d  Error:%d";
// What to do after a write with refused or differing rows: on the finish line, and in full in
// the message shown once per file.
inline constexpr const char* kRewriteHint = " - check red and yellow rows, then Write again";
inline constexpr const char* kRewrite =
    "\nRows in red were refused by the driver; rows in yellow read back another value.\n"
    "Correct the file or the driver's state (enabled, mode), then press Write again.\n";
inline constexpr const char* kStoring = "Save data in the driver...";
inline constexpr const char* kStoreFinished = "Finished.";
// The drive refused a store step or answered with another value than the one written.
inline constexpr const char* kStoreFailed = "Failed: the driver did not save the parameters.";
// The connection closed, or another window took the link, while rows were outstanding.
inline constexpr const char* kStopped = "Stopped: no answer from the driver at row %d of %d";

}  // namespace tarvo::TransferTexts
