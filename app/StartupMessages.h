#pragma once

namespace tarvo::StartupMessages {

inline constexpr const char* kConfigError = "System config file error.\n Exit!! ";
inline constexpr const char* kEnglishLoadFailure =
    "Load EN.dll resource failure!\n  System exit!\n";
inline constexpr const char* kChineseUnsupported =
    "Your computer OS doesn't support the Chinese version. \r\n Seting is non-effective!!";

}  // namespace tarvo::StartupMessages
