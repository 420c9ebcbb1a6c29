#include "dictionary/LeadingNumber.h"

#include <locale.h>

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace tarvo {

namespace {

constexpr int64_t kIntegerLimit = int64_t{1} << 40;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The "C" locale, made once; strtod under the user's locale may expect a decimal comma.
locale_t ClassicLocale() {
    static locale_t locale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

}  // namespace

int64_t ReadLeadingInteger(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value < kIntegerLimit) {
            value = value * 10 + (text[i] - '0');
        }
    }
    return negative ? -value : value;
}

double ReadLeadingReal(std::string_view text) {
    std::string copy(text);
    locale_t locale = ClassicLocale();
    if (locale == static_cast<locale_t>(nullptr)) {
        return std::strtod(copy.c_str(), nullptr);
    }
    return ::strtod_l(copy.c_str(), nullptr, locale);
}

int32_t TruncateToInt32(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    double whole = std::trunc(value);
    if (whole < -2147483648.0) {
        whole = -2147483648.0;
    } else if (whole > 4294967295.0) {
        whole = 4294967295.0;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(whole)));
}

std::string FormatThreeDecimals(double value) {
    char buffer[400];  // the widest double in fixed notation has 309 digits before the point
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3);
    if (result.ec != std::errc()) {
        return "???";
    }
    return std::string(buffer, result.ptr);
}

}  // namespace tarvo
