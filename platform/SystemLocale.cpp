#include "platform/SystemLocale.h"

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

bool SystemLocale::IsChinesePrc() {
    return IsChinesePrc([](const char* name) { return std::getenv(name); });
}

}  // namespace tarvo
