#pragma once

#include <functional>
#include <string>

namespace tarvo {

// Stands in for the Windows "system default locale is 2052 (Chinese, PRC)" test: the first
// of LC_ALL, LC_MESSAGES and LANG that is set decides.
class SystemLocale {
public:
    using EnvironmentLookup = std::function<const char*(const char*)>;

    static bool IsChinesePrc();
    static bool IsChinesePrc(const EnvironmentLookup& lookup);
    // The locale text that decides, or "" when none is set.
    static std::string Effective(const EnvironmentLookup& lookup);
};

}  // namespace tarvo
