#include "cli/ArgumentText.h"

#include <cstring>
#include <set>
#include <sstream>
#include <utility>

namespace tarvo {

bool ArgumentText::ParseUnsigned(const std::string& text, uint32_t& value) {
    if (text.empty() || text.size() > 10 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    unsigned long long parsed = std::stoull(text);
    if (parsed > 0xFFFFFFFFull) {
        return false;
    }
    value = static_cast<uint32_t>(parsed);
    return true;
}

bool ArgumentText::ParseHexField(std::string text, size_t maxDigits, uint32_t& value) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text = text.substr(2);
    }
    if (text.empty() || text.size() > maxDigits ||
        text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return false;
    }
    value = static_cast<uint32_t>(std::stoul(text, nullptr, 16));
    return true;
}

bool ArgumentText::ParseAddress(const std::string& text, uint32_t& address) {
    size_t colon = text.find(':');
    if (colon == std::string::npos) {
        return false;
    }
    uint32_t index = 0;
    uint32_t sub = 0;
    if (!ParseHexField(text.substr(0, colon), 4, index) ||
        !ParseHexField(text.substr(colon + 1), 2, sub)) {
        return false;
    }
    address = index << 8 | sub;
    return true;
}

bool ArgumentText::ParseValue(const std::string& text, int widthBits, uint32_t& value) {
    if (widthBits != 8 && widthBits != 16 && widthBits != 32) {
        return false;
    }
    const uint64_t mask = widthBits == 32 ? 0xFFFFFFFFull : (1ull << widthBits) - 1;
    uint32_t magnitude = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        if (!ParseHexField(text, 8, magnitude) || magnitude > mask) {
            return false;
        }
        value = magnitude;
        return true;
    }
    bool negative = !text.empty() && text[0] == '-';
    if (!ParseUnsigned(negative ? text.substr(1) : text, magnitude)) {
        return false;
    }
    if (negative) {
        // Down to the smallest signed value of the width.
        if (magnitude > (mask >> 1) + 1) {
            return false;
        }
        value = static_cast<uint32_t>((0 - static_cast<uint64_t>(magnitude)) & mask);
        return true;
    }
    if (magnitude > mask) {
        return false;
    }
    value = magnitude;
    return true;
}

bool ArgumentText::ParseNodes(const std::string& text, std::vector<uint32_t>& nodes) {
    // getline drops a last empty part: "1," would pass without this.
    if (text.empty() || text.back() == ',') {
        return false;
    }
    std::set<uint32_t> chosen;
    std::istringstream parts(text);
    std::string part;
    while (std::getline(parts, part, ',')) {
        size_t dash = part.find('-');
        uint32_t first = 0;
        uint32_t last = 0;
        if (dash == std::string::npos) {
            if (!ParseUnsigned(part, first)) {
                return false;
            }
            last = first;
        } else if (!ParseUnsigned(part.substr(0, dash), first) ||
                   !ParseUnsigned(part.substr(dash + 1), last)) {
            return false;
        }
        if (first < 1 || last > 127 || first > last) {
            return false;
        }
        for (uint32_t node = first; node <= last; ++node) {
            chosen.insert(node);
        }
    }
    nodes.assign(chosen.begin(), chosen.end());
    return true;
}

bool ArgumentText::ParseDuration(const std::string& text, double& seconds) {
    static constexpr std::pair<const char*, double> kUnits[] = {
        {"ms", 0.001}, {"s", 1}, {"m", 60}, {"h", 3600}, {"", 1}};
    for (auto [suffix, factor] : kUnits) {
        size_t length = std::strlen(suffix);
        if (text.size() <= length || text.compare(text.size() - length, length, suffix) != 0) {
            continue;
        }
        uint32_t number = 0;
        if (!ArgumentText::ParseUnsigned(text.substr(0, text.size() - length), number) ||
            number == 0) {
            return false;
        }
        seconds = number * factor;
        return true;
    }
    return false;
}

}  // namespace tarvo
