#pragma once

#include <functional>
#include <string>

namespace tarvo {

// Stands in for the Windows "system default locale is 2052 (Chinese, PRC)" test, which asks
// whether this system can show the Chinese interface: it can when the session's locale (the
// first of LC_ALL, LC_MESSAGES and LANG that is set) is zh_CN, or when a zh_CN locale is
// installed and a font with Chinese characters is available.
class SystemLocale {
public:
    using EnvironmentLookup = std::function<const char*(const char*)>;

    // Whether the session's locale is zh_CN.
    static bool IsChinesePrc();
    static bool IsChinesePrc(const EnvironmentLookup& lookup);
    // `hasChineseFont` is asked only when the session's locale does not decide.
    static bool CanShowChinese(const EnvironmentLookup& lookup, bool localeInstalled,
                               const std::function<bool()>& hasChineseFont);
    // Whether the C library has a zh_CN locale (in any of its usual code sets).
    static bool ChineseLocaleInstalled();
    // The locale text that decides, or "" when none is set.
    static std::string Effective(const EnvironmentLookup& lookup);
};

}  // namespace tarvo
