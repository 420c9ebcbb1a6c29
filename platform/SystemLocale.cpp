#include "platform/SystemLocale.h"

#include <locale.h>

#include <cstdlib>

namespace tarvo {

std::string SystemLocale::Effective(const EnvironmentLookup& lookup) {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = lookup(name);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return {};
}

bool SystemLocale::IsChinesePrc(const EnvironmentLookup& lookup) {
    std::string locale = Effective(lookup);
    // zh_CN, zh_CN.UTF-8, zh_CN.GBK, zh_CN@variant ...
    return locale.rfind("zh_CN", 0) == 0 &&
           (locale.size() == 5 || locale[5] == '.' || locale[5] == '@');
}

bool SystemLocale::CanShowChinese(const EnvironmentLookup& lookup, bool localeInstalled,
                                  const std::function<bool()>& hasChineseFont) {
    if (IsChinesePrc(lookup)) {
        return true;
    }
    return localeInstalled && hasChineseFont && hasChineseFont();
}

bool SystemLocale::ChineseLocaleInstalled() {
    for (const char* name :
         {"zh_CN.UTF-8", "zh_CN.GB18030", "zh_CN.GBK", "zh_CN.GB2312", "zh_CN"}) {
        if (locale_t found = ::newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0))) {
            ::freelocale(found);
            return true;
        }
    }
    return false;
}

bool SystemLocale::IsChinesePrc() {
    return IsChinesePrc([](const char* name) { return std::getenv(name); });
}

}  // namespace tarvo
