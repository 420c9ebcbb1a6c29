#pragma once

namespace tarvo::link_text {

// The fixed English texts that the library binding and the control link show.
inline constexpr const char* kGetCommInterfaceFailure = "get Comm interface failure";
inline constexpr const char* kCreateCommInstanceFailure = "Create comm instance failure";
inline constexpr const char* kGetCanInterfaceFailure = "get CAN interface failure";
inline constexpr const char* kCreateCanInstanceFailure = "Create CAN instance failure";
inline constexpr const char* kLoadCommLibraryFailure = "Load comm DLL failure";
inline constexpr const char* kCreateThreadFailure = "Control link, create thread fail!!\n";
inline constexpr const char* kMonitorNoMemory = "Loop: No Free Memory!!\n";
inline constexpr const char* kVersionCaption = "CAN Ver";

}  // namespace tarvo::link_text
