#include "oscilloscope/ScaleText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dictionary/LeadingNumber.h"

namespace tarvo::ScaleText {

std::string Format(double scale) {
    if (!(scale > 0.0) || !std::isfinite(scale)) {
        return "1e-6";
    }
    int exponent = static_cast<int>(std::floor(std::log10(scale) + 1e-9));
    int digit = static_cast<int>(std::lround(scale / std::pow(10.0, exponent)));
    if (digit >= 10) {
        digit = 1;
        ++exponent;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%ce%d", static_cast<char>('0' + digit), exponent);
    return text;
}

double Parse(std::string_view text) {
    if (text.size() < 3 || (text[0] != '1' && text[0] != '2' && text[0] != '5')) {
        return kSmallest;
    }
    auto exponent = static_cast<int>(ReadLeadingInteger(text.substr(2)));
    return (text[0] - '0') * std::pow(10.0, exponent);
}

bool Step(std::string& text, double& scale, bool up) {
    if (!up && text == "1e-6") {
        return false;
    }
    char digit = text.size() >= 3 ? text[0] : '1';
    auto exponent = static_cast<int>(text.size() >= 3 ? ReadLeadingInteger(text.substr(2)) : -6);
    if (digit != '1' && digit != '2' && digit != '5') {
        digit = '1';
        exponent = -6;
    }
    double factor = 1.0;
    if (up) {
        switch (digit) {
            case '1':
                digit = '2';
                factor = 2.0;
                break;
            case '2':
                digit = '5';
                factor = 2.5;
                break;
            default:
                digit = '1';
                ++exponent;
                factor = 2.0;
                break;
        }
    } else {
        switch (digit) {
            case '5':
                digit = '2';
                factor = 0.4;
                break;
            case '2':
                digit = '1';
                factor = 0.5;
                break;
            default:
                digit = '5';
                --exponent;
                factor = 0.5;
                break;
        }
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%ce%d", digit, exponent);
    text = buffer;
    scale *= factor;
    return true;
}

double RoundUp125(double r) {
    char text[400];
    std::snprintf(text, sizeof text, "%f", r);
    const char* point = nullptr;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '.') {
            point = c;
            break;
        }
    }
    // The first significant digit and its place value.
    int place = 0;
    int digit = 0;
    const char* c = text;
    while (*c == '-' || *c == ' ') {
        ++c;
    }
    int integerDigits =
        point != nullptr ? static_cast<int>(point - c) : static_cast<int>(std::strlen(c));
    for (int i = 0; c[i] != '\0'; ++i) {
        if (c[i] == '.') {
            continue;
        }
        if (c[i] != '0') {
            digit = c[i] - '0';
            place = i < integerDigits ? integerDigits - 1 - i : integerDigits - i;
            break;
        }
    }
    if (digit == 0) {
        return kSmallest;
    }
    if (digit == 1) {
        return 2.0 * std::pow(10.0, place);
    }
    if (digit <= 4) {
        return 5.0 * std::pow(10.0, place);
    }
    return std::pow(10.0, place + 1);
}

double AtLeast125(double r) {
    if (!std::isfinite(r)) {
        return r;
    }
    if (r <= kSmallest) {
        return kSmallest;
    }
    double power = std::pow(10.0, std::floor(std::log10(r)));
    for (double m : {1.0, 2.0, 5.0}) {
        // Tolerance for the last bit of a product that is meant to be exact.
        if (m * power >= r * (1.0 - 1e-9)) {
            return m * power;
        }
    }
    return 10.0 * power;
}

}  // namespace tarvo::ScaleText
